#pragma once

#include "toolkit/Symbols.h"

#include <QAbstractButton>
#include <QColor>

// A button of which only the label is drawn and clickable: no bezel, no background, a
// pointing-hand cursor. This one's label is a symbol; a change of its colour or of the
// symbol itself (a cross-fade) animates with the current animation transaction, if any.
class PlainButton : public QAbstractButton
{
    Q_OBJECT
    // The colour drawn now, on its way to color() while a change animates.
    Q_PROPERTY(QColor shownColor READ shownColor WRITE setShownColor)
    // 0 shows the previous symbol, 1 the current one; in between while a change animates.
    Q_PROPERTY(qreal symbolChange READ symbolChange WRITE setSymbolChange)

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
    qreal symbolChange() const { return m_symbolChange; }
    void setSymbolChange(qreal change);

    Symbol m_symbol;
    Symbol m_previousSymbol;
    qreal m_symbolChange = 1;
    qreal m_pixelSize;
    QColor m_color;
    QColor m_shownColor;
};
