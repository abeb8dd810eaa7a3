#pragma once

#include <QMargins>
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

} // namespace WindowPlacement
