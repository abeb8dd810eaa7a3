#include "views/CollectionRow.h"

#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QKeyEvent>
#include <QPainter>

namespace {
constexpr int side = 10;
constexpr qreal symbolSize = 14;
constexpr int symbolGap = 8;
constexpr qreal radius = 7;
} // namespace

CollectionRow::CollectionRow(Symbol symbol, const QString &text, bool isAction, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_isAction(isAction)
{
    setText(text);
    setAccessibleName(text);
    setFont(Fonts::rounded(13, isAction ? QFont::Medium : QFont::Normal));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

QSize CollectionRow::sizeHint() const
{
    const int textWidth = fontMetrics().horizontalAdvance(text());
    return QSize(2 * side + int(symbolSize) + symbolGap + textWidth, rowHeight);
}

QSize CollectionRow::minimumSizeHint() const
{
    return QSize(2 * side + int(symbolSize) + symbolGap, rowHeight);
}

void CollectionRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const Theme theme = Theme::of(this);
    const QRectF box = QRectF(rect()).adjusted(2, 1, -2, -1);
    if (isDown() || underMouse())
        Shapes::fillRoundedRect(painter, box, radius, theme.primary(isDown() ? 0.10 : 0.05));
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::continuousRoundedRect(box, radius));
    }
    const QColor color = m_isAction ? theme.accentText() : theme.primary();
    const QRectF symbol(side, (height() - symbolSize) / 2.0, symbolSize, symbolSize);
    Symbols::paint(painter, m_symbol, symbol, symbolSize, m_isAction ? color : theme.secondary());
    painter.setPen(color);
    const QRect textRect(side + int(symbolSize) + symbolGap, 0,
                         width() - 2 * side - int(symbolSize) - symbolGap, height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width()));
}

void CollectionRow::keyPressEvent(QKeyEvent *event)
{
    // A row is chosen like a list's item, by Return; a dialog would give Return to its
    // default button instead.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
