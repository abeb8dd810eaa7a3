#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>

// Where the window goes: a column of fixed width along the right edge of a screen's
// available area (panels and docks excluded), as tall as that area.
namespace WindowPlacement {

inline constexpr int columnWidth = 320;

// The outer rectangle of the column, decorations included. A screen narrower than the
// column gets a column as wide as the screen, so that no part of it is off-screen.
// Null when the available area is empty.
QRect columnFrame(const QRect &available);

// The window's own geometry (client area, decorations excluded) that puts its outer frame
// on columnFrame(available), given the decoration sizes the window manager reports.
// Never smaller than 1x1. Null when the available area is empty.
QRect columnGeometry(const QRect &available, const QMargins &frame);

// The same on a scaled screen. Qt gives the program the available area and the decoration
// sizes in logical pixels, each rounded from the window system's device pixels, and rounds
// the window's logical geometry back to device pixels: `scale` is the screen's device
// pixels per logical pixel and `screenOrigin` the screen's top-left corner, which Qt keeps
// the same in both units. Where two device sizes round to one logical figure, the even one
// is taken for the area (screens and panels come in even sizes) and the larger one for the
// decorations, so that the outer frame lies inside an area of even device size, on its
// right edge or as close to it as device pixels reachable through Qt allow. At scale 1
// this is columnFrame() exactly.
QRect columnGeometry(const QRect &available, const QMargins &frame, qreal scale,
                     const QPoint &screenOrigin);

} // namespace WindowPlacement
