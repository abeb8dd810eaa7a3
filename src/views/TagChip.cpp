#include "views/TagChip.h"

#include "toolkit/Fonts.h"
#include "toolkit/Motion.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"

#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace {
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 4;
constexpr qreal unselectedFillOpacity = 0.15;

QColor mixed(const QColor &from, const QColor &to, qreal amount)
{
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * amount,
                            from.greenF() + (to.greenF() - from.greenF()) * amount,
                            from.blueF() + (to.blueF() - from.blueF()) * amount,
                            from.alphaF() + (to.alphaF() - from.alphaF()) * amount);
}
} // namespace

TagChip::TagChip(const QString &tag, QWidget *parent) : QAbstractButton(parent)
{
    setText(tag);
    setCheckable(true);
    setFont(Fonts::rounded(11, QFont::Medium));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_animation = new QVariantAnimation(this);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_selection = value.toReal();
        update();
    });
}

void TagChip::setSelected(bool selected)
{
    if (selected == isChecked())
        return;
    setChecked(selected);

    const qreal target = selected ? 1.0 : 0.0;
    m_animation->stop();
    const std::optional<Animation> animation = Motion::current();
    if (animation && Motion::animationsEnabled() && isVisible()) {
        m_animation->setStartValue(m_selection);
        m_animation->setEndValue(target);
        m_animation->setDuration(animation->durationMs());
        m_animation->setEasingCurve(animation->easingCurve());
        m_animation->start();
    } else {
        m_selection = target;
        update();
    }
}

QColor TagChip::textColor() const
{
    return mixed(Theme::tagColor(tag()), Theme::white(), m_selection);
}

QColor TagChip::fillColor() const
{
    const qreal opacity = unselectedFillOpacity + (1 - unselectedFillOpacity) * m_selection;
    return Theme::tagColor(tag(), opacity);
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
    Shapes::fillCapsule(painter, QRectF(rect()), fillColor());
    if (hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::capsule(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75)));
    }
    painter.setPen(textColor());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}
