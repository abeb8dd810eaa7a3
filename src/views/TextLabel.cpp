#include "views/TextLabel.h"

#include "toolkit/Theme.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

TextLabel::TextLabel(const QString &text, const QFont &font, ColorRole color, QWidget *parent)
    : QWidget(parent), m_text(text), m_color(std::move(color))
{
    setFont(font);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
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

QColor TextLabel::color() const
{
    return m_color(Theme::of(this));
}

QSize TextLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_text))),
                 int(std::ceil(metrics.height())));
}

void TextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(color());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_text);
}

void TextLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        update();
    else if (event->type() == QEvent::FontChange)
        updateGeometry();
    QWidget::changeEvent(event);
}
