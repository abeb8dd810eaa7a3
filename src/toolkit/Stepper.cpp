#include "toolkit/Stepper.h"

#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/StepperArrow.h"
#include "toolkit/Theme.h"

#include <QKeyEvent>
#include <QPainter>

#include <cmath>

namespace {
constexpr int labelToArrows = 6;
constexpr int arrowsWidth = 15;
constexpr int arrowHeight = 11;
constexpr qreal arrowsRadius = 5;
} // namespace

Stepper::Stepper(QWidget *parent) : QWidget(parent)
{
    setFont(Fonts::rounded(13, QFont::Medium));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_up = new StepperArrow(StepperArrow::Direction::Up, this);
    m_down = new StepperArrow(StepperArrow::Direction::Down, this);
    connect(m_up, &QAbstractButton::clicked, this, &Stepper::stepUpRequested);
    connect(m_down, &QAbstractButton::clicked, this, &Stepper::stepDownRequested);
}

void Stepper::setValue(qint64 value)
{
    if (value == m_value)
        return;
    m_value = value;
    updateGeometry();
    placeArrows();
    update();
}

void Stepper::setSuffix(const QString &suffix)
{
    m_suffix = suffix;
    updateGeometry();
    placeArrows();
    update();
}

QString Stepper::labelText() const
{
    return QString::number(m_value) + m_suffix;
}

void Stepper::setStepsAvailable(bool up, bool down)
{
    m_up->setEnabled(up);
    m_down->setEnabled(down);
}

qreal Stepper::digitCellWidth() const
{
    // The font has no tabular-figures switch in this Qt; the widest digit sets the cell.
    const QFontMetricsF metrics(font());
    qreal widest = 0;
    for (char16_t digit = u'0'; digit <= u'9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    return widest;
}

qreal Stepper::labelWidth() const
{
    const QString number = QString::number(m_value);
    const QFontMetricsF metrics(font());
    qreal width = metrics.horizontalAdvance(m_suffix);
    for (const QChar c : number)
        width += c.isDigit() ? digitCellWidth() : metrics.horizontalAdvance(c);
    return width;
}

QRectF Stepper::arrowsRect() const
{
    const qreal left = std::ceil(labelWidth()) + labelToArrows;
    return QRectF(left, (height() - 2 * arrowHeight) / 2.0, arrowsWidth, 2 * arrowHeight);
}

QSize Stepper::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const int width = int(std::ceil(labelWidth())) + labelToArrows + arrowsWidth;
    const int height = std::max(int(std::ceil(metrics.height())), 2 * arrowHeight);
    return QSize(width, height);
}

void Stepper::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    const QFontMetricsF metrics(font());

    // The label, one digit per cell, each digit centred in its cell.
    painter.setPen(theme.primary());
    const qreal cell = digitCellWidth();
    const qreal baseline = (height() - metrics.height()) / 2.0 + metrics.ascent();
    qreal x = 0;
    for (const QChar c : QString::number(m_value)) {
        const qreal advance = metrics.horizontalAdvance(c);
        const qreal width = c.isDigit() ? cell : advance;
        painter.drawText(QPointF(x + (width - advance) / 2.0, baseline), QString(c));
        x += width;
    }
    painter.drawText(QPointF(x, baseline), m_suffix);

    const QRectF arrows = arrowsRect();
    Shapes::fillRoundedRect(painter, arrows, arrowsRadius, theme.primary(0.06));
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(
            Shapes::continuousRoundedRect(arrows.adjusted(-1, -1, 1, 1), arrowsRadius + 1));
    }
}

void Stepper::resizeEvent(QResizeEvent *)
{
    placeArrows();
}

void Stepper::placeArrows()
{
    const QRect arrows = arrowsRect().toRect();
    m_up->setGeometry(arrows.left(), arrows.top(), arrowsWidth, arrowHeight);
    m_down->setGeometry(arrows.left(), arrows.top() + arrowHeight, arrowsWidth, arrowHeight);
}

void Stepper::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up) {
        emit stepUpRequested();
        return;
    }
    if (event->key() == Qt::Key_Down) {
        emit stepDownRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
