#include "toolkit/SymbolLabel.h"

#include "toolkit/Theme.h"

#include <QPainter>

#include <cmath>

SymbolLabel::SymbolLabel(Symbol symbol, qreal pixelSize, ColorRole color, QWidget *parent)
    : QWidget(parent), m_symbol(symbol), m_pixelSize(pixelSize), m_color(std::move(color))
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolLabel::setBackgroundCircle(qreal diameter, ColorRole color)
{
    m_circleDiameter = diameter;
    m_circleColor = std::move(color);
    updateGeometry();
    update();
}

void SymbolLabel::setWeight(QFont::Weight weight)
{
    m_weight = weight;
    update();
}

QSize SymbolLabel::sizeHint() const
{
    const QSizeF symbolSize = Symbols::size(m_pixelSize);
    const qreal width = std::max(symbolSize.width(), m_circleDiameter);
    const qreal height = std::max(symbolSize.height(), m_circleDiameter);
    return QSize(int(std::ceil(width)), int(std::ceil(height)));
}

void SymbolLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    const QRectF bounds(rect());
    if (m_circleDiameter > 0) {
        QRectF circle(0, 0, m_circleDiameter, m_circleDiameter);
        circle.moveCenter(bounds.center());
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_circleColor(theme));
        painter.drawEllipse(circle);
    }
    Symbols::paint(painter, m_symbol, bounds, m_pixelSize, m_color(theme), m_weight);
}
