#pragma once

#include <QEasingCurve>

#include <functional>
#include <optional>

// An animation curve: an ease-in-out by duration, or a critically damped spring by response.
struct Animation {
    enum class Kind { EaseInOut, Spring };
    Kind kind = Kind::EaseInOut;
    double seconds = 0.2; // the duration, or the spring's response

    static Animation easeInOut(double duration) { return {Kind::EaseInOut, duration}; }
    static Animation spring(double response) { return {Kind::Spring, response}; }

    // How long the animation runs: the duration, or the time a spring takes to settle
    // within 0.1 % of its target (about 1.47 times its response).
    int durationMs() const;
    QEasingCurve easingCurve() const;
};

namespace Motion {

// The animation of the transaction being run, if any. Views read it while they apply a
// change of state: with one they animate the change, without one they apply it at once.
std::optional<Animation> current();

// Runs `change` with `animation` as the current animation. Transactions nest; the
// innermost animation wins.
void withAnimation(const Animation &animation, const std::function<void()> &change);
// Runs `change` with no current animation, even inside a transaction.
void withoutAnimation(const std::function<void()> &change);

// Tests and benchmarks switch animations off to see end states at once.
void setAnimationsEnabled(bool enabled);
bool animationsEnabled();

} // namespace Motion
