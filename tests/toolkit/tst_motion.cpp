// The spring curve is the critically damped spring, ends exactly at 1 without overshoot and
// lasts until it is within 0.1 % of its target; animation transactions nest, and the outer
// one is current again however an inner one ends.
#include "toolkit/Motion.h"

#include <QTest>

#include <cmath>
#include <numbers>
#include <stdexcept>

class TestMotion : public QObject
{
    Q_OBJECT

private slots:
    void springFollowsItsFormula_data();
    void springFollowsItsFormula();
    void transactionsNestAndRestore();
};

void TestMotion::springFollowsItsFormula_data()
{
    QTest::addColumn<double>("response");
    QTest::newRow("quick, 0.2 s") << 0.2;
    QTest::newRow("slow, 1 s") << 1.0;
}

void TestMotion::springFollowsItsFormula()
{
    QFETCH(double, response);
    auto spring = [response](double t) { // released at 0 towards 1
        const double omega = 2 * std::numbers::pi / response;
        return 1 - (1 + omega * t) * std::exp(-omega * t);
    };
    const Animation animation = Animation::spring(response);
    const double seconds = animation.durationMs() / 1000.0;
    // About 1.47 responses: within 0.1 % of the target by then, and not long before.
    QVERIFY(std::abs(seconds / response - 1.47) < 0.01);
    QVERIFY(spring(seconds + 0.0005) >= 0.999 && spring(seconds * 0.97) < 0.999);

    // The curve is the spring stretched by at most 0.1 % so as to end exactly at 1.
    const QEasingCurve curve = animation.easingCurve();
    qreal previous = 0;
    for (int i = 0; i <= 200; ++i) {
        const qreal value = curve.valueForProgress(i / 200.0);
        const double expected = spring(seconds * i / 200.0);
        QVERIFY2(std::abs(value - expected) < 0.0015 && value >= previous && value <= 1.0,
                 qPrintable(QStringLiteral("%1 at %2, not %3").arg(value).arg(i).arg(expected)));
        previous = value;
    }
    QCOMPARE(curve.valueForProgress(1.0), 1.0);
}

void TestMotion::transactionsNestAndRestore()
{
    auto current = [] {
        return Motion::current() ? QString::number(Motion::current()->seconds) : "-";
    };
    QStringList seen{current()};
    Motion::withAnimation(Animation::easeInOut(0.2), [&] {
        seen << current();
        Motion::withAnimation(Animation::spring(0.3), [&] { seen << current(); });
        seen << current();
        Motion::withoutAnimation([&] { seen << current(); });
        try {
            Motion::withAnimation(Animation::spring(0.5), [] { throw std::runtime_error(""); });
        } catch (const std::runtime_error &) {
        }
        seen << current();
        Motion::setAnimationsEnabled(false);
        Motion::withAnimation(Animation::spring(0.4), [&] { seen << current(); });
        Motion::setAnimationsEnabled(true);
    });
    seen << current();
    // None outside; the innermost wins; the outer comes back after an inner transaction, a
    // stretch without animation and a change that threw; none while switched off.
    QCOMPARE(seen.join(' '), QStringLiteral("- 0.2 0.3 0.2 - 0.2 - -"));
}

QTEST_GUILESS_MAIN(TestMotion)
#include "tst_motion.moc"
