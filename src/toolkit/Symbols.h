#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QRectF>
#include <QSizeF>

class QPainter;

// Named symbol images, drawn like text from the Material Icons font.
enum class Symbol {
    PlusCircleFill,
    Gearshape,
    Checklist,
    Timer,
    NoteText,
    CheckmarkCircleFill,
    Circle,
    XmarkCircleFill,
    FlagFill,
    FlagSlash, // the outlined flag with a diagonal stroke painted over it
    ExclamationmarkTriangleFill,
    Xmark,
};

namespace Symbols {

// The box every symbol takes at a font size (in logical pixels): the font's em square.
QSize size(qreal pixelSize);
// Draws the symbol centred in `rect`, its ink filling the size.
void paint(QPainter &painter, Symbol symbol, const QRectF &rect, qreal pixelSize,
           const QColor &color, QFont::Weight weight = QFont::Normal);
// The symbol as an icon, for menus and the window.
QIcon icon(Symbol symbol, qreal pixelSize, const QColor &color);

} // namespace Symbols
