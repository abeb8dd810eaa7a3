#include "toolkit/TextLabel.h"

#include "toolkit/Motion.h"
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
    // A change already under way starts again from the text it was going to.
    m_previousText = m_text;
    m_text = text;
    setAccessibleName(text);
    m_textChange = 0;
    Motion::animateProperty(this, "textChange", 1.0);
    updateGeometry();
    update();
}

void TextLabel::setElided(bool elided)
{
    m_elided = elided;
    setSizePolicy(elided ? QSizePolicy::Ignored : QSizePolicy::Fixed, QSizePolicy::Fixed);
    updateGeometry();
    update();
}

void TextLabel::setTextChange(qreal change)
{
    m_textChange = change;
    updateGeometry(); // the width moves from the old text's to the new one's
    update();
}

qreal TextLabel::textWidth(const QString &text) const
{
    return QFontMetricsF(font()).horizontalAdvance(text);
}

QSize TextLabel::sizeHint() const
{
    qreal width = textWidth(m_text);
    if (m_textChange < 1)
        width += (textWidth(m_previousText) - width) * (1 - m_textChange);
    return QSize(int(std::ceil(width)), int(std::ceil(QFontMetricsF(font()).height())))
        .grownBy(m_padding);
}

QSize TextLabel::minimumSizeHint() const
{
    const QSize hint = sizeHint();
    return m_elided ? QSize(0, hint.height()) : hint;
}

void TextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const Theme theme = Theme::of(this);
    if (m_capsuleColor)
        Shapes::fillCapsule(painter, QRectF(rect()), m_capsuleColor(theme));
    painter.setPen(m_color(theme));
    const QRect content = rect().marginsRemoved(m_padding);
    const auto shown = [&](const QString &text) {
        return m_elided ? fontMetrics().elidedText(text, Qt::ElideRight, content.width()) : text;
    };
    if (m_textChange >= 1) {
        painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         shown(m_text));
        return;
    }
    // While the width changes, both texts stay centred in it.
    const qreal opacity = painter.opacity();
    painter.setOpacity(opacity * (1 - m_textChange));
    painter.drawText(content, Qt::AlignCenter | Qt::TextSingleLine, shown(m_previousText));
    painter.setOpacity(opacity * m_textChange);
    painter.drawText(content, Qt::AlignCenter | Qt::TextSingleLine, shown(m_text));
}
