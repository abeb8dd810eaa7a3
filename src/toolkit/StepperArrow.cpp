#include "toolkit/StepperArrow.h"

#include "toolkit/Theme.h"

#include <QPainter>
#include <QPainterPath>

StepperArrow::StepperArrow(Direction direction, QWidget *parent)
    : QAbstractButton(parent), m_direction(direction)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAutoRepeat(true);
    setAutoRepeatDelay(400);
    setAutoRepeatInterval(120);
}

QSize StepperArrow::sizeHint() const
{
    return QSize(15, 11);
}

void StepperArrow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    const QColor color = !isEnabled() ? theme.tertiary()
                         : isDown()   ? theme.primary()
                                      : theme.secondary();

    // A small solid triangle, pointing up or down, centred in the button.
    const QPointF centre = QRectF(rect()).center();
    const qreal halfWidth = 3.5;
    const qreal halfHeight = 2;
    const qreal tip = m_direction == Direction::Up ? -halfHeight : halfHeight;
    QPainterPath arrow;
    arrow.moveTo(centre.x() - halfWidth, centre.y() - tip);
    arrow.lineTo(centre.x() + halfWidth, centre.y() - tip);
    arrow.lineTo(centre.x(), centre.y() + tip);
    arrow.closeSubpath();
    painter.fillPath(arrow, color);
}
