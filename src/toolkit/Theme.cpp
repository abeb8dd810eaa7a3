#include "toolkit/Theme.h"

#include "model/Tags.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace {

QColor rgba(qreal red, qreal green, qreal blue, qreal alpha)
{
    return QColor::fromRgbF(float(red), float(green), float(blue),
                            float(std::clamp(alpha, 0.0, 1.0)));
}

} // namespace

QColor withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(float(std::clamp(color.alphaF() * opacity, 0.0, 1.0)));
    return color;
}

Theme Theme::of(const QWidget *widget)
{
    return Theme(isDark(widget ? widget->palette() : QApplication::palette()));
}

bool Theme::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor Theme::accent(qreal opacity)
{
    return rgba(0.52, 0.65, 0.95, opacity);
}

QColor Theme::tagColor(const QString &tag, qreal opacity)
{
    return paletteColor(tagColorIndex(tag), opacity);
}

QColor Theme::paletteColor(int index, qreal opacity)
{
    const int count = int(tagPalette.size());
    const RgbColor &color = tagPalette[std::size_t(((index % count) + count) % count)];
    return rgba(color.red, color.green, color.blue, opacity);
}

QColor Theme::white(qreal opacity)
{
    return rgba(1, 1, 1, opacity);
}

QColor Theme::primary(qreal opacity) const
{
    return m_dark ? rgba(1, 1, 1, 0.85 * opacity) : rgba(0, 0, 0, 0.85 * opacity);
}

QColor Theme::secondary(qreal opacity) const
{
    return m_dark ? rgba(1, 1, 1, 0.55 * opacity) : rgba(0, 0, 0, 0.50 * opacity);
}

QColor Theme::tertiary(qreal opacity) const
{
    return m_dark ? rgba(1, 1, 1, 0.25 * opacity) : rgba(0, 0, 0, 0.26 * opacity);
}

QColor Theme::red(qreal opacity) const
{
    return m_dark ? rgba(1.0, 0.27, 0.23, opacity) : rgba(1.0, 0.23, 0.19, opacity);
}

QColor Theme::windowBackground() const
{
    const qreal level = m_dark ? 0.07 : 0.98;
    return rgba(level, level, level, 1);
}

QColor Theme::materialFill() const
{
    return m_dark ? rgba(1, 1, 1, 0.08) : rgba(1, 1, 1, 0.72);
}

QColor Theme::materialBorder() const
{
    return m_dark ? rgba(1, 1, 1, 0.06) : rgba(0, 0, 0, 0.08);
}
