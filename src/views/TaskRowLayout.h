#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QRectF>
#include <QStringList>

#include <memory>

class QPainter;
class QTextLayout;

// Where a task row puts its text and tag chips at a given width, and how tall that makes the
// row; and the drawing of them there. It measures with fonts alone and needs no widget.
//
// The text is measured once per text: a text no wider than the text area is one line and
// needs no layout; only a text that wraps is laid out, and its layout is kept for drawing.
// Rows are asked for heights at two widths (with and without room for the scroll bar), so
// two wrapped heights are remembered.
class TaskRowLayout
{
public:
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 9;
    static constexpr qreal markSize = 20;
    static constexpr int markTopPadding = 1;
    static constexpr qreal deleteSize = 16;
    static constexpr int deleteTopPadding = 2;

    struct Chip {
        QRectF rect;
        QString tag;
        QString label; // the tag, elided when the chip is wider than the text area
    };
    struct Geometry {
        qreal textX = 0;
        qreal textWidth = 0;
        qreal textHeight = 0;
        qreal displayHeight = 0; // text plus chips
        QList<Chip> chips;
        int height = 0;
    };

    TaskRowLayout();
    ~TaskRowLayout();

    // The text shown and the tags; what was measured of the previous ones is forgotten.
    void setContent(const QString &displayText, const QStringList &tags);

    // Where everything goes at `width`. The delete button, shown while the row is hovered,
    // is drawn over the end of the text area, so hovering never wraps the text anew. While
    // `editing` the text area holds one line (the edit field, a widget that cannot lie under
    // the button) beside the button's room, and no chips. Kept until the next call with
    // other arguments.
    const Geometry &geometry(int width, bool editing) const;
    // Where the first line of text ends, as laid out in `g`.
    qreal firstLineRight(const Geometry &g) const;
    // A row of one line with the mark and the delete button; the real height comes from
    // geometry().
    static QSize minimumSize();

    static const QFont &textFont();
    static const QFontMetricsF &textMetrics();
    static const QFont &chipFont();
    static qreal lineHeight();

    // Draws the text in `textColor`, struck through in `strikeColor` (nothing when clear),
    // and the chips, where `g` puts them. The strike-through lies on whole device pixels.
    void paint(QPainter &painter, const Geometry &g, const QColor &textColor,
               const QColor &strikeColor) const;

private:
    // Draws the text at `origin`, wrapped at `textWidth`, with the painter's pen; returns
    // where each line's text lies.
    QList<QRectF> drawText(QPainter &painter, const QPointF &origin, qreal textWidth) const;
    qreal naturalWidth() const;
    qreal textHeight(qreal textWidth) const;
    const QTextLayout &wrappedLayout(qreal textWidth) const;

    QString m_text;
    QStringList m_tags;

    struct Key {
        int width = -1;
        bool editing = false;
    };
    struct WrappedHeight {
        qreal width = -1;
        qreal height = 0;
    };
    mutable Key m_key;
    mutable Geometry m_geometry;
    mutable qreal m_naturalWidth = -1;
    mutable QList<qreal> m_chipWidths;
    mutable WrappedHeight m_wrappedHeights[2];
    mutable int m_nextWrappedSlot = 0;
    mutable std::unique_ptr<QTextLayout> m_textLayout;
    mutable qreal m_textLayoutWidth = -1;
};
