#include "views/SuggestionRow.h"

#include "toolkit/Fonts.h"
#include "toolkit/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 7;
constexpr qreal dotDiameter = 8;
constexpr int dotSpacing = 6;
} // namespace

SuggestionRow::SuggestionRow(const QString &tag, QWidget *parent) : QAbstractButton(parent)
{
    setText(tag);
    setFont(Fonts::rounded(13, QFont::Medium));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SuggestionRow::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    update();
}

QSize SuggestionRow::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal contentWidth = dotDiameter + dotSpacing + metrics.horizontalAdvance(text());
    const qreal contentHeight = std::max(dotDiameter, metrics.height());
    return QSize(int(std::ceil(contentWidth)) + 2 * horizontalPadding,
                 int(std::ceil(contentHeight)) + 2 * verticalPadding);
}

QSize SuggestionRow::minimumSizeHint() const
{
    return QSize(2 * horizontalPadding, sizeHint().height());
}

void SuggestionRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    const QString tag = text();

    // Square corners: the tint fills the whole row.
    if (m_highlighted)
        painter.fillRect(rect(), Theme::tagColor(tag, 0.12));

    const QRectF content = QRectF(rect()).adjusted(horizontalPadding, verticalPadding,
                                                   -horizontalPadding, -verticalPadding);
    QRectF dot(0, 0, dotDiameter, dotDiameter);
    dot.moveCenter(QPointF(content.left() + dotDiameter / 2, content.center().y()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::tagColor(tag));
    painter.drawEllipse(dot);

    const QRectF textRect = content.adjusted(dotDiameter + dotSpacing, 0, 0, 0);
    painter.setPen(theme.primary());
    const QString shown = QFontMetricsF(font()).elidedText(tag, Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}
