#include "toolkit/Theme.h"

#include "model/Tags.h"

#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>
#include <array>

namespace {

QColor rgba(qreal red, qreal green, qreal blue, qreal alpha)
{
    return QColor::fromRgbF(float(red), float(green), float(blue),
                            float(std::clamp(alpha, 0.0, 1.0)));
}

// The tag colours as sRGB components, in the order of the model's colour index.
struct Rgb {
    qreal red, green, blue;
};
constexpr std::array<Rgb, tagColorCount> tagPalette{{
    {0.55, 0.47, 0.87},
    {0.9, 0.49, 0.45},
    {0.35, 0.75, 0.55},
    {0.95, 0.68, 0.3},
    {0.45, 0.7, 0.9},
    {0.85, 0.5, 0.75},
}};

} // namespace

QColor mix(const QColor &from, const QColor &to, qreal t)
{
    if (t <= 0)
        return from;
    if (t >= 1)
        return to;
    const qreal a0 = from.alphaF();
    const qreal a1 = to.alphaF();
    const qreal alpha = a0 + (a1 - a0) * t;
    if (alpha <= 0)
        return QColor::fromRgbF(0, 0, 0, 0);
    auto channel = [&](qreal c0, qreal c1) {
        return std::clamp((c0 * a0 + (c1 * a1 - c0 * a0) * t) / alpha, 0.0, 1.0);
    };
    return QColor::fromRgbF(float(channel(from.redF(), to.redF())),
                            float(channel(from.greenF(), to.greenF())),
                            float(channel(from.blueF(), to.blueF())), float(alpha));
}

Theme Theme::of(const QWidget *widget)
{
    const QPalette palette = widget ? widget->palette() : QApplication::palette();
    return Theme(isDark(palette));
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
    const Rgb &color = tagPalette[std::size_t(tagColorIndex(tag))];
    return rgba(color.red, color.green, color.blue, opacity);
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

QColor Theme::accentText() const
{
    return m_dark ? accent() : rgba(0.20, 0.36, 0.75, 1);
}

QColor Theme::separator(qreal opacity) const
{
    return m_dark ? rgba(1, 1, 1, 0.10 * opacity) : rgba(0, 0, 0, 0.10 * opacity);
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

QColor Theme::menuBackground() const
{
    const qreal level = m_dark ? 0.16 : 1.0;
    return rgba(level, level, level, 1);
}

QColor Theme::menuBorder() const
{
    return m_dark ? rgba(1, 1, 1, 0.14) : rgba(0, 0, 0, 0.14);
}

QColor Theme::menuSelection() const
{
    return m_dark ? rgba(0.27, 0.43, 0.82, 1) : accentText();
}

void Theme::applyTo(QLineEdit *field) const
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, primary());
    palette.setColor(QPalette::PlaceholderText, tertiary());
    field->setPalette(palette);
}
