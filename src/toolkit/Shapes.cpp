#include "toolkit/Shapes.h"

#include "toolkit/Theme.h"

#include <QPainter>

#include <algorithm>

namespace {

// How far along each side a continuous corner starts, in corner radii. The curve blends
// into the straight side earlier and more gently than a circular arc.
constexpr qreal cornerExtent = 1.28;
// Where the middle of a circular arc of radius 1 lies from its corner, along each axis.
constexpr qreal arcMiddle = 0.29289321881345254; // 1 - 1/sqrt(2)

void fillPath(QPainter &painter, const QPainterPath &path, const QColor &color)
{
    if (color.alpha() == 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, color);
    painter.restore();
}

} // namespace

namespace Shapes {

QPainterPath continuousRoundedRect(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    const QRectF r = rect.normalized();
    const qreal half = std::min(r.width(), r.height()) / 2;
    radius = std::clamp(radius, 0.0, half);
    if (radius <= 0) {
        path.addRect(r);
        return path;
    }
    // a: where the corner leaves the side; c: the Bézier handles, placed so that the
    // curve passes through the middle of the circular arc of the same radius.
    const qreal a = std::min(radius * cornerExtent, half);
    const qreal c = std::max(0.0, (8 * arcMiddle * radius - a) / 3);

    const qreal l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
    path.moveTo(l + a, t);
    path.lineTo(rt - a, t);
    path.cubicTo(rt - c, t, rt, t + c, rt, t + a);
    path.lineTo(rt, b - a);
    path.cubicTo(rt, b - c, rt - c, b, rt - a, b);
    path.lineTo(l + a, b);
    path.cubicTo(l + c, b, l, b - c, l, b - a);
    path.lineTo(l, t + a);
    path.cubicTo(l, t + c, l + c, t, l + a, t);
    path.closeSubpath();
    return path;
}

QPainterPath capsule(const QRectF &rect)
{
    QPainterPath path;
    const QRectF r = rect.normalized();
    const qreal radius = std::min(r.width(), r.height()) / 2;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void fillRoundedRect(QPainter &painter, const QRectF &rect, qreal radius, const QColor &color)
{
    fillPath(painter, continuousRoundedRect(rect, radius), color);
}

void fillCapsule(QPainter &painter, const QRectF &rect, const QColor &color)
{
    fillPath(painter, capsule(rect), color);
}

void fillMaterial(QPainter &painter, const QRectF &rect, qreal radius, const Theme &theme)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(continuousRoundedRect(rect, radius), theme.materialFill());
    const QColor border = theme.materialBorder();
    if (border.alpha() > 0) {
        // A one-pixel hairline just inside the edge.
        const QRectF inner = rect.normalized().adjusted(0.5, 0.5, -0.5, -0.5);
        QPen pen(border, 1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(continuousRoundedRect(inner, std::max(0.0, radius - 0.5)));
    }
    painter.restore();
}

} // namespace Shapes
