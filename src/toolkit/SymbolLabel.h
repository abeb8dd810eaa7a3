#pragma once

#include "toolkit/Symbols.h"

#include <QColor>
#include <QWidget>

#include <functional>

class Theme;

// A symbol image that is not a control, in a colour taken from the current theme at each
// paint, optionally centred on a filled circle.
class SymbolLabel : public QWidget
{
    Q_OBJECT

public:
    using ColorRole = std::function<QColor(const Theme &)>;

    SymbolLabel(Symbol symbol, qreal pixelSize, ColorRole color, QWidget *parent = nullptr);

    // Draws a circle of this diameter and colour behind the symbol; the label takes the
    // circle's size.
    void setBackgroundCircle(qreal diameter, ColorRole color);

    // Draws the symbol heavier than the font's one regular weight.
    void setWeight(QFont::Weight weight);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Symbol m_symbol;
    qreal m_pixelSize;
    ColorRole m_color;
    QFont::Weight m_weight = QFont::Normal;
    qreal m_circleDiameter = 0;
    ColorRole m_circleColor;
};
