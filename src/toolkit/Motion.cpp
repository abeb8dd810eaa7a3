#include "toolkit/Motion.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace {

// A critically damped spring released at 0 towards 1: x(s) = 1 - (1 + s)·e^(-s), with s = ωt.
double springPosition(double s)
{
    return 1.0 - (1.0 + s) * std::exp(-s);
}

// The value of s at which the spring is within 0.1 % of its target (about 9.23), found by
// Newton's method on (1 + s)·e^(-s) = 0.001; the derivative of the left side is -s·e^(-s).
double settleAngle()
{
    static const double angle = [] {
        double s = 9.0;
        for (int i = 0; i < 50; ++i) {
            const double f = (1.0 + s) * std::exp(-s) - 0.001;
            const double df = -s * std::exp(-s);
            const double next = s - f / df;
            if (std::abs(next - s) < 1e-12)
                return next;
            s = next;
        }
        return s;
    }();
    return angle;
}

// The spring over its settling time, progress 0...1, scaled so that it ends exactly at 1.
// With time measured in settling times, the curve is the same for every response.
qreal springCurve(qreal progress)
{
    if (progress <= 0)
        return 0;
    if (progress >= 1)
        return 1;
    const double end = settleAngle();
    return springPosition(progress * end) / springPosition(end);
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
        return int(std::lround(seconds * 1000.0 * settleAngle() / (2 * std::numbers::pi)));
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

void withoutAnimation(const std::function<void()> &change)
{
    const TransactionScope scope(std::nullopt);
    if (change)
        change();
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
