#include "toolkit/PlainButton.h"

#include "toolkit/Motion.h"

#include <QPainter>

PlainButton::PlainButton(Symbol symbol, qreal pixelSize, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_previousSymbol(symbol), m_pixelSize(pixelSize),
      m_color(Qt::black), m_shownColor(Qt::black)
{
    setCursor(Qt::PointingHandCursor);
    // Like a desktop toolbar button: a click does not take the keyboard focus away from
    // the field being typed in.
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setSymbol(Symbol symbol)
{
    if (symbol == m_symbol)
        return;
    m_previousSymbol = m_symbol;
    m_symbol = symbol;
    m_symbolChange = 0;
    Motion::animateProperty(this, "symbolChange", 1.0);
    update();
}

void PlainButton::setSymbolChange(qreal change)
{
    m_symbolChange = change;
    update();
}

void PlainButton::setColor(const QColor &color)
{
    // The same colour again leaves a running change towards it alone.
    if (color == m_color)
        return;
    m_color = color;
    Motion::animateProperty(this, "shownColor", color);
}

void PlainButton::setShownColor(const QColor &color)
{
    m_shownColor = color;
    update();
}

QSize PlainButton::sizeHint() const
{
    return Symbols::size(m_pixelSize);
}

void PlainButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_symbolChange >= 1) {
        Symbols::paint(painter, m_symbol, QRectF(rect()), m_pixelSize, m_shownColor);
        return;
    }
    painter.setOpacity(1 - m_symbolChange);
    Symbols::paint(painter, m_previousSymbol, QRectF(rect()), m_pixelSize, m_shownColor);
    painter.setOpacity(m_symbolChange);
    Symbols::paint(painter, m_symbol, QRectF(rect()), m_pixelSize, m_shownColor);
}
