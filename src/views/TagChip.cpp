#include "views/TagChip.h"

#include "toolkit/Fonts.h"
#include "toolkit/Motion.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 4;
constexpr qreal unselectedFillOpacity = 0.15;
} // namespace

TagChip::TagChip(const QString &tag, QWidget *parent) : QAbstractButton(parent)
{
    setText(tag);
    setCheckable(true);
    setFont(Fonts::rounded(11, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TagChip::setSelected(bool selected)
{
    if (selected == isChecked())
        return;
    setChecked(selected);
    Motion::animateProperty(this, "selection", selected ? 1.0 : 0.0);
}

void TagChip::setSelection(qreal selection)
{
    m_selection = selection;
    update();
}

QSize TagChip::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()))) + 2 * horizontalPadding,
                 int(std::ceil(metrics.height())) + 2 * verticalPadding);
}

void TagChip::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal fillOpacity = unselectedFillOpacity + (1 - unselectedFillOpacity) * m_selection;
    Shapes::fillCapsule(painter, QRectF(rect()), Theme::tagColor(tag(), fillOpacity));
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::capsule(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75)));
    }
    painter.setPen(mix(Theme::tagColor(tag()), Qt::white, m_selection));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}
