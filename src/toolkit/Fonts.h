#pragma once

#include <QFont>

// Fonts by size in logical pixels (never points).
namespace Fonts {

// The system font in its rounded design: Quicksand when installed, else the sans-serif.
QFont rounded(qreal pixelSize, QFont::Weight weight = QFont::Normal);

} // namespace Fonts
