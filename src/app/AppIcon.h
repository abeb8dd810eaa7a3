#pragma once

#include <QIcon>

class QPainter;
class QRectF;

// The application icon: an accent-coloured disc with a white checklist (three checked rows).
// Painted here in the same geometry as packaging/lorvane.svg, so the window and the tray need
// no SVG support at run time.
namespace AppIcon {

QIcon icon();
void paint(QPainter &painter, const QRectF &target);

} // namespace AppIcon
