#include "toolkit/TextLabel.h"

#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QPainter>

#include <cmath>

TextLabel::TextLabel(const QString &text, const QFont &font, ColorRole color, QWidget *parent)
    : QWidget(parent), m_text(text), m_color(std::move(color))
{
    setFont(font);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void TextLabel::setCapsule(const QMargins &padding, ColorRole fill)
{
    m_padding = padding;
    m_capsuleColor = std::move(fill);
    updateGeometry();
    update();
}

void TextLabel::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize TextLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_text))),
                 int(std::ceil(metrics.height())))
        .grownBy(m_padding);
}

void TextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const Theme theme = Theme::of(this);
    if (m_capsuleColor)
        Shapes::fillCapsule(painter, QRectF(rect()), m_capsuleColor(theme));
    painter.setPen(m_color(theme));
    painter.drawText(rect().marginsRemoved(m_padding),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_text);
}
