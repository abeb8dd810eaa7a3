#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>

class QPainter;
class Theme;

namespace Shapes {

// A rounded rectangle with the continuous (squircle-like) corner curve.
QPainterPath continuousRoundedRect(const QRectF &rect, qreal radius);
// Fully rounded ends: the radius is half the shorter side.
QPainterPath capsule(const QRectF &rect);

void fillRoundedRect(QPainter &painter, const QRectF &rect, qreal radius, const QColor &color);
void fillCapsule(QPainter &painter, const QRectF &rect, const QColor &color);
// The regular material in a rounded rectangle of the given corner radius.
void fillMaterial(QPainter &painter, const QRectF &rect, qreal radius, const Theme &theme);

} // namespace Shapes
