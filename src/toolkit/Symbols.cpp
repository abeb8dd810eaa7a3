#include "toolkit/Symbols.h"

#include <QCoreApplication>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRawFont>
#include <QStandardPaths>

#include <cmath>
#include <iterator>

namespace {

// The Material Icons code points, in the order of the Symbol enumeration.
constexpr char16_t glyphs[] = {
    0xE147, // add_circle
    0xE8B8, // settings
    0xE6B1, // checklist
    0xE425, // timer
    0xE873, // description
    0xE86C, // check_circle
    0xE836, // radio_button_unchecked
    0xE5C9, // cancel
    0xE153, // flag
    0xE16E, // outlined_flag
    0xE002, // warning
    0xE5CD, // close
};
static_assert(std::size(glyphs) == std::size_t(Symbol::Xmark) + 1);

char16_t glyph(Symbol symbol)
{
    return glyphs[std::size_t(symbol)];
}

// The icon font at a pixel size. Font matching may pick the family's WOFF2 copy, which has to
// be decompressed at every start (a good part of the time to the first frame), so the
// TrueType file is read directly where the system has it; the family by name otherwise.
const QRawFont &iconFont(int pixelSize)
{
    static QHash<int, QRawFont> *fonts = nullptr;
    if (!fonts) {
        fonts = new QHash<int, QRawFont>;
        // Font engines must not outlive the application object.
        qAddPostRoutine([] {
            delete fonts;
            fonts = nullptr;
        });
    }
    if (const auto found = fonts->constFind(pixelSize); found != fonts->cend())
        return *found;

    QRawFont font;
    if (!fonts->isEmpty()) {
        font = fonts->cbegin().value();
        font.setPixelSize(pixelSize);
    } else {
        const QString file =
            QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                   QStringLiteral("fonts/truetype/material-design-icons-iconfont/"
                                                  "MaterialIcons-Regular.ttf"));
        if (!file.isEmpty())
            font.loadFromFile(file, pixelSize, QFont::PreferDefaultHinting);
        if (!font.isValid()) {
            QFont byFamily(QStringLiteral("Material Icons"));
            byFamily.setPixelSize(pixelSize);
            byFamily.setStyleStrategy(QFont::NoFontMerging);
            font = QRawFont::fromFont(byFamily);
        }
    }
    return *fonts->insert(pixelSize, font);
}

// Material Icons draws each glyph on a 24-unit grid with 2 units of margin on every side
// (20 units of ink): the font is set this much larger so that the ink fills the symbol's
// size, as the platform's symbols do.
constexpr qreal inkScale = 24.0 / 20.0;

// Draws the glyph with its em box centred in `rect`. Icon fonts design every glyph in
// the em square above the baseline, so the square is centred, not the line's ascent. The
// font has one weight; a heavier one is made by tracing the outline with a pen as well.
void drawGlyph(QPainter &painter, Symbol symbol, const QRectF &rect, qreal pixelSize,
               QFont::Weight weight = QFont::Normal)
{
    const int em = qMax(1, qRound(pixelSize * inkScale));
    const QRawFont &font = iconFont(em);
    const QList<quint32> indexes = font.glyphIndexesForString(QString(QChar(glyph(symbol))));
    if (indexes.isEmpty())
        return;
    const qreal width = font.advancesForGlyphIndexes(indexes).value(0).x();
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes(indexes);
    const QPointF origin(rect.center().x() - width / 2, rect.center().y() + em / 2.0);
    run.setPositions({origin});
    painter.drawGlyphRun(QPointF(), run);
    if (weight > QFont::Normal) {
        // Semibold (600) adds about a twenty-fifth of the square to each stroke.
        const qreal stroke = em * 0.02 * (int(weight) - int(QFont::Normal)) / 100.0;
        painter.strokePath(
            font.pathForGlyph(indexes.first()).translated(origin),
            QPen(painter.pen().color(), stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
}

// The slash of `flag.slash`: from the upper left to the lower right of the glyph box, with
// a clear gap beside it so that it reads as crossing the flag rather than touching it.
void drawSlashed(QPainter &painter, const QRectF &rect, qreal pixelSize, const QColor &color)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QSizeF box = Symbols::size(pixelSize);
    const QSize pixels(qCeil(box.width() * dpr) + 2, qCeil(box.height() * dpr) + 2);
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);

    const QRectF local(QPointF(1 / dpr, 1 / dpr), box);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.setPen(color);
        drawGlyph(p, Symbol::FlagSlash, local, pixelSize);

        const qreal inset = pixelSize * 0.14;
        const QLineF slash(local.left() + inset, local.top() + inset, local.right() - inset,
                           local.bottom() - inset);
        const qreal stroke = qMax(1.0, pixelSize / 12.0);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, stroke * 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(slash.translated(-stroke * 0.35, stroke * 0.35));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(slash);
    }
    const QPointF origin(rect.center().x() - box.width() / 2 - 1 / dpr,
                         rect.center().y() - box.height() / 2 - 1 / dpr);
    painter.drawImage(origin, image);
}

} // namespace

namespace Symbols {

QSize size(qreal pixelSize)
{
    const int em = qMax(1, qRound(pixelSize));
    return {em, em};
}

void paint(QPainter &painter, Symbol symbol, const QRectF &rect, qreal pixelSize,
           const QColor &color, QFont::Weight weight)
{
    if (color.alpha() == 0)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (symbol == Symbol::FlagSlash) {
        drawSlashed(painter, rect, pixelSize, color);
    } else {
        painter.setPen(color);
        drawGlyph(painter, symbol, rect, pixelSize, weight);
    }
    painter.restore();
}

QIcon icon(Symbol symbol, qreal pixelSize, const QColor &color)
{
    QIcon result;
    const QSizeF box = size(pixelSize);
    for (const qreal dpr : {1.0, 2.0}) {
        QPixmap pixmap(QSize(qCeil(box.width() * dpr), qCeil(box.height() * dpr)));
        pixmap.setDevicePixelRatio(dpr);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(painter, symbol, QRectF(QPointF(0, 0), box), pixelSize, color);
        painter.end();
        result.addPixmap(pixmap);
    }
    return result;
}

} // namespace Symbols
