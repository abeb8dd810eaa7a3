#pragma once

#include "toolkit/Symbols.h"

#include <QAbstractButton>
#include <QColor>

class QVariantAnimation;

// A button of which only the label is drawn and clickable: no bezel, no background, a
// pointing-hand cursor. This one's label is a symbol; its colour change animates with the
// current animation transaction, if any.
class PlainButton : public QAbstractButton
{
    Q_OBJECT

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
    Symbol m_symbol;
    qreal m_pixelSize;
    QColor m_color;      // the colour set by the owner
    QColor m_shownColor; // the colour drawn now, on its way to m_color while animating
    QColor m_fromColor;  // where the running colour animation started
    QVariantAnimation *m_colorAnimation = nullptr;
};
