#include "views/TaskRowLayout.h"

#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/Symbols.h"
#include "toolkit/Theme.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int stackSpacing = 12;
constexpr qreal textSize = 15;
constexpr qreal chipTextSize = 10;
constexpr qreal chipHorizontalPadding = 6;
constexpr qreal chipVerticalPadding = 2;
constexpr qreal chipSpacing = 4;
constexpr qreal textToChips = 4;
constexpr qreal chipFillOpacity = 0.15;

// Fonts and their metrics, made once: every row measures with them, and building metrics
// per row would dominate the cost of a long list.
struct RowFonts {
    QFont text = Fonts::rounded(textSize);
    QFont chip = Fonts::rounded(chipTextSize, QFont::Medium);
    QFontMetricsF textMetrics{text};
    QFontMetricsF chipMetrics{chip};
    qreal lineHeight = textMetrics.ascent() + textMetrics.descent();
    qreal chipHeight = chipMetrics.ascent() + chipMetrics.descent() + 2 * chipVerticalPadding;
};

RowFonts *rowFontsInstance = nullptr;

const RowFonts &rowFonts()
{
    if (!rowFontsInstance) {
        rowFontsInstance = new RowFonts;
        // Fonts must not outlive the application object.
        qAddPostRoutine([] {
            delete rowFontsInstance;
            rowFontsInstance = nullptr;
        });
    }
    return *rowFontsInstance;
}

// A stored text may hold line breaks; they are shown as breaks.
QString forLayout(QString text)
{
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    text.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return text;
}

} // namespace

TaskRowLayout::TaskRowLayout() = default;
TaskRowLayout::~TaskRowLayout() = default;

void TaskRowLayout::setContent(const QString &displayText, const QStringList &tags)
{
    m_text = displayText;
    m_tags = tags;
    m_key = Key();
    m_naturalWidth = -1;
    m_chipWidths.clear();
    for (WrappedHeight &known : m_wrappedHeights)
        known = WrappedHeight();
    m_textLayout.reset();
    m_textLayoutWidth = -1;
}

const TaskRowLayout::Geometry &TaskRowLayout::geometry(int width, bool editing) const
{
    Geometry &g = m_geometry;
    if (m_key.width == width && m_key.editing == editing)
        return g;
    m_key = {width, editing};

    const RowFonts &fonts = rowFonts();
    const QSize mark = Symbols::size(markSize);
    const QSize remove = Symbols::size(deleteSize);

    g = Geometry();
    g.textX = horizontalPadding + mark.width() + stackSpacing;
    // The text area takes what the mark leaves; the edit field also leaves the delete
    // button its room.
    qreal right = width - horizontalPadding;
    if (editing)
        right -= remove.width() + stackSpacing;
    g.textWidth = std::max<qreal>(right - g.textX, 1);

    if (editing) {
        g.textHeight = fonts.lineHeight;
        g.displayHeight = fonts.lineHeight;
    } else {
        g.textHeight = textHeight(g.textWidth);
        g.displayHeight = g.textHeight;

        // Chips run left to right and wrap onto further lines rather than being cut off.
        if (!m_tags.isEmpty()) {
            if (m_chipWidths.size() != m_tags.size()) {
                m_chipWidths.clear();
                for (const QString &tag : m_tags) {
                    m_chipWidths.append(std::ceil(fonts.chipMetrics.horizontalAdvance(tag)) +
                                        2 * chipHorizontalPadding);
                }
            }
            const qreal top = verticalPadding + g.textHeight + textToChips;
            qreal x = 0;
            qreal y = 0;
            for (qsizetype i = 0; i < m_tags.size(); ++i) {
                const QString &tag = m_tags[i];
                Chip chip{QRectF(), tag, tag};
                qreal chipWidth = m_chipWidths[i];
                if (chipWidth > g.textWidth) {
                    chip.label = fonts.chipMetrics.elidedText(
                        tag, Qt::ElideRight, g.textWidth - 2 * chipHorizontalPadding);
                    chipWidth = g.textWidth;
                }
                if (x > 0 && x + chipWidth > g.textWidth) {
                    x = 0;
                    y += fonts.chipHeight + chipSpacing;
                }
                chip.rect = QRectF(g.textX + x, top + y, chipWidth, fonts.chipHeight);
                g.chips.append(chip);
                x += chipWidth + chipSpacing;
            }
            g.displayHeight += textToChips + y + fonts.chipHeight;
        }
    }

    // Tall enough for the delete button whether it shows or not.
    qreal content = std::max<qreal>(mark.height() + markTopPadding, g.displayHeight);
    content = std::max<qreal>(content, remove.height() + deleteTopPadding);
    g.height = int(std::ceil(content)) + 2 * verticalPadding;
    return g;
}

QSize TaskRowLayout::minimumSize()
{
    const QSize mark = Symbols::size(markSize);
    const int deleteWidth = Symbols::size(deleteSize).width();
    return {2 * horizontalPadding + mark.width() + deleteWidth + 2 * stackSpacing,
            2 * verticalPadding + mark.height() + markTopPadding};
}

const QFont &TaskRowLayout::textFont()
{
    return rowFonts().text;
}

const QFontMetricsF &TaskRowLayout::textMetrics()
{
    return rowFonts().textMetrics;
}

const QFont &TaskRowLayout::chipFont()
{
    return rowFonts().chip;
}

qreal TaskRowLayout::lineHeight()
{
    return rowFonts().lineHeight;
}

void TaskRowLayout::paint(QPainter &painter, const Geometry &g, const QColor &textColor,
                          const QColor &strikeColor) const
{
    painter.setPen(textColor);
    const QList<QRectF> lines = drawText(painter, QPointF(g.textX, verticalPadding), g.textWidth);
    if (strikeColor.alpha() > 0) {
        // The strike-through has a colour of its own, so it is drawn here rather than by the
        // font.
        const QFontMetricsF &metrics = textMetrics();
        // A whole number of device pixels thick, its edges on pixel boundaries: a line
        // between two pixel rows would show as a pale band two rows high.
        const QTransform toDevice = painter.deviceTransform();
        const qreal scale = std::max<qreal>(toDevice.m22(), 0.01);
        const qreal thickness = std::max<qreal>(1.0, std::round(metrics.lineWidth() * scale));
        QPen pen(strikeColor);
        pen.setWidthF(thickness / scale);
        painter.setPen(pen);
        for (const QRectF &line : lines) {
            const qreal y = line.top() + metrics.ascent() - metrics.strikeOutPos();
            const qreal deviceTop = std::round(y * scale + toDevice.dy() - thickness / 2);
            const qreal snapped = (deviceTop + thickness / 2 - toDevice.dy()) / scale;
            if (line.width() > 0)
                painter.drawLine(QPointF(line.left(), snapped), QPointF(line.right(), snapped));
        }
    }
    painter.setFont(chipFont());
    for (const Chip &chip : g.chips) {
        Shapes::fillCapsule(painter, chip.rect, Theme::tagColor(chip.tag, chipFillOpacity));
        painter.setPen(Theme::tagColor(chip.tag));
        painter.drawText(chip.rect, Qt::AlignCenter | Qt::TextSingleLine, chip.label);
    }
}

qreal TaskRowLayout::firstLineRight(const Geometry &g) const
{
    if (naturalWidth() <= g.textWidth)
        return g.textX + m_naturalWidth;
    const QTextLine first = wrappedLayout(g.textWidth).lineAt(0);
    return g.textX + (first.isValid() ? first.x() + first.naturalTextWidth() : 0);
}

QList<QRectF> TaskRowLayout::drawText(QPainter &painter, const QPointF &origin,
                                      qreal textWidth) const
{
    const RowFonts &fonts = rowFonts();
    if (naturalWidth() <= textWidth) {
        painter.setFont(fonts.text);
        painter.drawText(origin + QPointF(0, fonts.textMetrics.ascent()), m_text);
        return {QRectF(origin.x(), origin.y(), m_naturalWidth, fonts.lineHeight)};
    }
    const QTextLayout &layout = wrappedLayout(textWidth);
    layout.draw(&painter, origin);
    QList<QRectF> lines;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        lines.append(QRectF(origin.x() + line.x(), origin.y() + line.y(), line.naturalTextWidth(),
                            line.height()));
    }
    return lines;
}

qreal TaskRowLayout::naturalWidth() const
{
    // A text with a line break never fits on one line.
    if (m_naturalWidth < 0) {
        const bool breaks = std::any_of(m_text.cbegin(), m_text.cend(), [](QChar c) {
            return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator;
        });
        m_naturalWidth = breaks ? std::numeric_limits<qreal>::infinity()
                                : rowFonts().textMetrics.horizontalAdvance(m_text);
    }
    return m_naturalWidth;
}

qreal TaskRowLayout::textHeight(qreal textWidth) const
{
    const RowFonts &fonts = rowFonts();
    if (naturalWidth() <= textWidth)
        return fonts.lineHeight;
    for (const WrappedHeight &known : m_wrappedHeights) {
        if (known.width == textWidth)
            return known.height;
    }
    const QTextLayout &layout = wrappedLayout(textWidth);
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    const qreal height = last.isValid() ? last.y() + last.height() : fonts.lineHeight;
    m_wrappedHeights[m_nextWrappedSlot] = {textWidth, height};
    m_nextWrappedSlot = (m_nextWrappedSlot + 1) % 2;
    return height;
}

const QTextLayout &TaskRowLayout::wrappedLayout(qreal textWidth) const
{
    if (!m_textLayout) {
        m_textLayout = std::make_unique<QTextLayout>(forLayout(m_text), rowFonts().text);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_textLayout->setTextOption(option);
        m_textLayout->setCacheEnabled(true);
    }
    if (m_textLayoutWidth != textWidth) {
        m_textLayout->clearLayout();
        m_textLayout->beginLayout();
        qreal y = 0;
        for (QTextLine line = m_textLayout->createLine(); line.isValid();
             line = m_textLayout->createLine()) {
            line.setLineWidth(textWidth);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        m_textLayout->endLayout();
        m_textLayoutWidth = textWidth;
    }
    return *m_textLayout;
}
