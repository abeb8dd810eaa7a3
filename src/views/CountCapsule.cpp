#include "views/CountCapsule.h"

#include "toolkit/Fonts.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

namespace {
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 4;
} // namespace

CountCapsule::CountCapsule(QWidget *parent) : QWidget(parent)
{
    setFont(Fonts::rounded(12, QFont::Medium));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CountCapsule::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize CountCapsule::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_text))) + 2 * horizontalPadding,
                 int(std::ceil(metrics.height())) + 2 * verticalPadding);
}

void CountCapsule::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    Shapes::fillCapsule(painter, QRectF(rect()), theme.primary(0.08));
    painter.setPen(theme.secondary());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_text);
}

void CountCapsule::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        update();
    QWidget::changeEvent(event);
}
