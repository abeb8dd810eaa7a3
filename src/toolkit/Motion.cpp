#include "toolkit/Motion.h"

#include "toolkit/Theme.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QWidget>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// A critically damped spring released at 0 towards 1: x(s) = 1 - (1 + s)·e^(-s), with s = ωt.
double springPosition(double s)
{
    return 1.0 - (1.0 + s) * std::exp(-s);
}

// The value of s at which the spring is within 0.1 % of its target: the root of
// (1 + s)·e^(-s) = 0.001 (by Newton's method).
constexpr double settleAngle = 9.233413476451586;

// The spring over its settling time, progress 0...1, scaled so that it ends exactly at 1.
// With time measured in settling times, the curve is the same for every response.
qreal springCurve(qreal progress)
{
    if (progress <= 0)
        return 0;
    if (progress >= 1)
        return 1;
    return springPosition(progress * settleAngle) / springPosition(settleAngle);
}

std::vector<std::optional<Animation>> &transactions()
{
    static std::vector<std::optional<Animation>> stack;
    return stack;
}

bool &enabledFlag()
{
    static bool enabled = true;
    return enabled;
}

// Colours are mixed by the theme's rule; every other type as Qt mixes it.
class PropertyAnimation : public QPropertyAnimation
{
public:
    using QPropertyAnimation::QPropertyAnimation;

protected:
    QVariant interpolated(const QVariant &from, const QVariant &to, qreal progress) const override
    {
        if (from.metaType() == QMetaType::fromType<QColor>())
            return mix(from.value<QColor>(), to.value<QColor>(), progress);
        return QPropertyAnimation::interpolated(from, to, progress);
    }
};

// The animation of Motion::setPresent()'s fade, if the widget has had one.
QPropertyAnimation *fadeOf(const QWidget *widget)
{
    return widget->findChild<QPropertyAnimation *>(QStringLiteral("fade"),
                                                   Qt::FindDirectChildrenOnly);
}

class TransactionScope
{
public:
    explicit TransactionScope(const std::optional<Animation> &animation)
    {
        transactions().push_back(animation);
    }
    ~TransactionScope() { transactions().pop_back(); }
    TransactionScope(const TransactionScope &) = delete;
    TransactionScope &operator=(const TransactionScope &) = delete;
};

} // namespace

int Animation::durationMs() const
{
    const double seconds = std::max(0.0, this->seconds);
    if (kind == Kind::Spring)
        return int(std::lround(seconds * 1000.0 * settleAngle / (2 * std::numbers::pi)));
    return int(std::lround(seconds * 1000.0));
}

QEasingCurve Animation::easingCurve() const
{
    if (kind == Kind::Spring) {
        QEasingCurve curve;
        curve.setCustomType(&springCurve);
        return curve;
    }
    // InOutQuad stays within 0.012 of the common ease-in-out Bézier (0.42, 0, 0.58, 1).
    return QEasingCurve(QEasingCurve::InOutQuad);
}

void Animation::applyTo(QVariantAnimation *animation) const
{
    animation->setDuration(durationMs());
    animation->setEasingCurve(easingCurve());
}

namespace Motion {

std::optional<Animation> current()
{
    if (!enabledFlag() || transactions().empty())
        return std::nullopt;
    return transactions().back();
}

void withAnimation(const Animation &animation, const std::function<void()> &change)
{
    const TransactionScope scope(animation);
    if (change)
        change();
}

std::optional<Animation> currentFor(const QWidget *widget)
{
    std::optional<Animation> animation = current();
    if (animation && (animation->durationMs() <= 0 || !widget->isVisible()))
        animation.reset();
    return animation;
}

void animateProperty(QWidget *widget, const char *name, const QVariant &value,
                     const std::optional<Animation> &curve)
{
    const QString key = QLatin1String(name);
    auto *animation = widget->findChild<QPropertyAnimation *>(key, Qt::FindDirectChildrenOnly);
    if (animation)
        animation->stop(); // before reading the value it has got to
    const QVariant shown = widget->property(name);
    if (!curve || shown == value) {
        widget->setProperty(name, value);
        return;
    }
    if (!animation) {
        animation = new PropertyAnimation(widget, name, widget);
        animation->setObjectName(key);
    }
    animation->setStartValue(shown);
    animation->setEndValue(value);
    curve->applyTo(animation);
    animation->start();
}

void animateProperty(QWidget *widget, const char *name, const QVariant &value)
{
    animateProperty(widget, name, value, currentFor(widget));
}

bool isPresent(const QWidget *widget)
{
    const QPropertyAnimation *fade = fadeOf(widget);
    const bool fadingOut =
        fade && fade->state() == QAbstractAnimation::Running && fade->endValue().toReal() <= 0;
    return !widget->isHidden() && !fadingOut;
}

void setPresent(QWidget *widget, bool present)
{
    if (present == isPresent(widget))
        return;
    QPropertyAnimation *fade = fadeOf(widget);
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect());
    const bool fading = fade && effect && fade->targetObject() == effect;
    QWidget *parent = widget->parentWidget();
    const std::optional<Animation> curve = parent ? currentFor(parent) : std::nullopt;
    if (!curve || (widget->graphicsEffect() && !fading)) {
        if (fading) {
            fade->stop();
            widget->setGraphicsEffect(nullptr);
        }
        widget->setVisible(present);
        return;
    }
    if (!fading) {
        effect = new QGraphicsOpacityEffect(widget);
        effect->setOpacity(widget->isHidden() ? 0.0 : 1.0);
        widget->setGraphicsEffect(effect);
    }
    if (!fade) {
        fade = new QPropertyAnimation(widget);
        fade->setObjectName(QStringLiteral("fade"));
        fade->setPropertyName("opacity");
        QObject::connect(fade, &QAbstractAnimation::finished, widget, [widget, fade] {
            const bool shown = fade->endValue().toReal() > 0;
            widget->setGraphicsEffect(nullptr); // drawn directly again
            if (!shown)
                widget->hide();
        });
    }
    fade->stop();
    fade->setTargetObject(effect);
    fade->setStartValue(effect->opacity());
    fade->setEndValue(present ? 1.0 : 0.0);
    curve->applyTo(fade);
    widget->show();
    fade->start();
}

void setAnimationsEnabled(bool enabled)
{
    enabledFlag() = enabled;
}

bool animationsEnabled()
{
    return enabledFlag();
}

} // namespace Motion
