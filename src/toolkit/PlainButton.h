#pragma once

#include "toolkit/Symbols.h"

#include <QAbstractButton>
#include <QColor>

// A button of which only the label is drawn and clickable: no bezel, no background, a
// pointing-hand cursor. This one's label is a symbol; its colour change animates with the
// current animation transaction, if any.
class PlainButton : public QAbstractButton
{
    Q_OBJECT
    // The colour drawn now, on its way to color() while a change animates.
    Q_PROPERTY(QColor shownColor READ shownColor WRITE setShownColor)

public:
    PlainButton(Symbol symbol, qreal pixelSize, QWidget *parent = nullptr);

    Symbol symbol() const { return m_symbol; }
    void setSymbol(Symbol symbol);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor shownColor() const { return m_shownColor; }
    void setShownColor(const QColor &color);

    Symbol m_symbol;
    qreal m_pixelSize;
    QColor m_color;
    QColor m_shownColor;
};
