#include "toolkit/TextButton.h"

#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr int horizontalPadding = 8;
constexpr int verticalPadding = 3;
} // namespace

TextButton::TextButton(const QString &text, QWidget *parent) : QAbstractButton(parent)
{
    setText(text);
    setFont(Fonts::rounded(13, QFont::DemiBold));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

QSize TextButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()))) + 2 * horizontalPadding,
                 int(std::ceil(metrics.height())) + 2 * verticalPadding);
}

void TextButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(rect());
    if (isDown() || underMouse())
        Shapes::fillCapsule(painter, box, Theme::accent(isDown() ? 0.25 : 0.12));
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::capsule(box.adjusted(0.75, 0.75, -0.75, -0.75)));
    }
    painter.setPen(Theme::of(this).accentText());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}
