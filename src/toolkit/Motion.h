#pragma once

#include <QEasingCurve>

#include <functional>
#include <optional>

class QVariant;
class QVariantAnimation;
class QWidget;

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
    // Gives `animation` this curve's duration and easing.
    void applyTo(QVariantAnimation *animation) const;
};

namespace Motion {

// The animation of the transaction being run, if any. Views read it while they apply a
// change of state: with one they animate the change, without one they apply it at once.
std::optional<Animation> current();
// The current animation if a change to `widget` is to be animated by it: only a widget on
// screen animates, and only along a curve that takes time.
std::optional<Animation> currentFor(const QWidget *widget);

// Runs `change` with `animation` as the current animation. Transactions nest; the
// innermost animation wins.
void withAnimation(const Animation &animation, const std::function<void()> &change);

// Brings the property `name` of `widget` (a Q_PROPERTY) to `value`: along `curve` when
// there is one, from wherever a running change of that property has got to, else at once.
// Colours are mixed in premultiplied form. The animation is made on first use and kept.
void animateProperty(QWidget *widget, const char *name, const QVariant &value,
                     const std::optional<Animation> &curve);
// The same along currentFor(widget).
void animateProperty(QWidget *widget, const char *name, const QVariant &value);

// Shows or hides `widget`. Inside a transaction, with its parent on screen, it fades in from
// clear, or fades out and only then hides (turning back from wherever a running fade has
// got to); otherwise it shows or hides at once. The fade is a QGraphicsOpacityEffect, taken
// off when it ends; a widget that carries an effect of its own shows and hides at once.
void setPresent(QWidget *widget, bool present);
// Whether `widget` is shown and not fading out.
bool isPresent(const QWidget *widget);

// Off where the desktop asks for reduced animation, and in tests and benchmarks to see end
// states at once: every change is then applied at once.
void setAnimationsEnabled(bool enabled);
bool animationsEnabled();

} // namespace Motion
