#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>

// Where the window goes: a column of fixed width along the right edge of a screen's
// available area (panels and docks excluded), as tall as that area.
namespace WindowPlacement {

inline constexpr int columnWidth = 320;

// The window's own geometry (client area, decorations excluded) that puts its outer frame
// on the column, given the decoration sizes the window manager reports: as wide as the
// column or, on a narrower screen, as the screen, so that no part of it is off-screen.
// Never smaller than 1x1; null when the available area is empty.
//
// Qt gives the program the available area and the decoration sizes in logical pixels, each
// rounded from the window system's device pixels, and rounds the window's logical geometry
// back to device pixels: `scale` is the screen's device pixels per logical pixel and
// `screenOrigin` the screen's top-left corner, which Qt keeps the same in both units. Where
// two device sizes round to one logical figure, the even one is taken for the area (screens
// and panels come in even sizes) and the larger one for the decorations, so that the outer
// frame lies inside an area of even device size, on its right edge or as close to it as
// device pixels reachable through Qt allow.
QRect columnGeometry(const QRect &available, const QMargins &frame, qreal scale,
                     const QPoint &screenOrigin);

} // namespace WindowPlacement
