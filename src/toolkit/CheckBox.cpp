#include "toolkit/CheckBox.h"

#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
constexpr qreal indicatorRadius = 4;
} // namespace

CheckBox::CheckBox(const QString &text, const QFont &font, QWidget *parent)
    : QCheckBox(text, parent)
{
    setFont(font);
    // Like the stepper: a click does not take the focus from where the user types.
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

void CheckBox::setTextIndent(int indent)
{
    m_textIndent = indent;
    updateGeometry();
    update();
}

QSize CheckBox::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const int width =
        focusMargin + m_textIndent + int(std::ceil(metrics.horizontalAdvance(text())));
    const int height =
        std::max(int(std::ceil(metrics.height())), int(indicatorSize) + 2 * focusMargin);
    return QSize(width, height);
}

bool CheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void CheckBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (!isEnabled())
        painter.setOpacity(0.4);
    const Theme theme = Theme::of(this);

    const QRectF box(focusMargin, (height() - indicatorSize) / 2.0, indicatorSize, indicatorSize);
    if (isChecked()) {
        Shapes::fillRoundedRect(painter, box, indicatorRadius,
                                isDown() ? Theme::accent(0.8) : Theme::accent());
        // The mark's three points, in the square's own units.
        QPainterPath mark;
        mark.moveTo(box.left() + 0.27 * indicatorSize, box.top() + 0.52 * indicatorSize);
        mark.lineTo(box.left() + 0.43 * indicatorSize, box.top() + 0.68 * indicatorSize);
        mark.lineTo(box.left() + 0.74 * indicatorSize, box.top() + 0.35 * indicatorSize);
        painter.setPen(QPen(Qt::white, 1.75, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(mark);
    } else {
        if (isDown())
            Shapes::fillRoundedRect(painter, box, indicatorRadius, theme.secondary(0.2));
        painter.setPen(QPen(theme.secondary(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::continuousRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5),
                                                       indicatorRadius - 0.5));
    }
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(
            Shapes::continuousRoundedRect(box.adjusted(-2, -2, 2, 2), indicatorRadius + 2));
    }

    painter.setPen(theme.secondary());
    const qreal textLeft = focusMargin + m_textIndent;
    painter.drawText(QRectF(textLeft, 0, width() - textLeft, height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

void CheckBox::changeEvent(QEvent *event)
{
    // A switch between light and dark appearance: every colour is read again at the paint.
    if (event->type() == QEvent::PaletteChange)
        update();
    QCheckBox::changeEvent(event);
}
