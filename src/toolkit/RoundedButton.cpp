#include "toolkit/RoundedButton.h"

#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 4;
constexpr qreal radius = 6;
} // namespace

RoundedButton::RoundedButton(const QString &text, QWidget *parent) : QPushButton(text, parent)
{
    setFont(Fonts::rounded(13));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

void RoundedButton::setProminent(bool prominent)
{
    if (prominent == m_prominent)
        return;
    m_prominent = prominent;
    update();
}

void RoundedButton::setDestructive(bool destructive)
{
    if (destructive == m_destructive)
        return;
    m_destructive = destructive;
    update();
}

QSize RoundedButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()))) + 2 * horizontalPadding,
                 int(std::ceil(metrics.height())) + 2 * verticalPadding);
}

void RoundedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (!isEnabled())
        painter.setOpacity(0.4);
    const Theme theme = Theme::of(this);
    const QRectF box(rect());
    const bool hovered = underMouse() && isEnabled();
    if (m_prominent) {
        // The menu's selection: a shade of the accent on which white text reads in either
        // appearance, which the accent itself does not on a light window.
        const QColor fill = theme.menuSelection();
        Shapes::fillRoundedRect(painter, box, radius,
                                isDown()  ? fill.darker(115)
                                : hovered ? fill.lighter(108)
                                          : fill);
    } else {
        Shapes::fillRoundedRect(painter, box, radius,
                                theme.primary(isDown()  ? 0.14
                                              : hovered ? 0.10
                                                        : 0.06));
    }
    if (hasFocus()) {
        // On the accent's shade the ring is drawn inside, in white, to be seen.
        const qreal inset = m_prominent ? 2 : 0.75;
        painter.setPen(QPen(m_prominent ? QColor(255, 255, 255, 220) : Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::continuousRoundedRect(box.adjusted(inset, inset, -inset, -inset),
                                                       radius - inset));
    }
    painter.setPen(m_prominent     ? QColor(Qt::white)
                   : m_destructive ? theme.red()
                                   : theme.secondary());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}
