#include "toolkit/Motion.h"

#include <QTest>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

// The critically damped spring of response r at time t, released at 0 towards 1.
double springAt(double t, double response)
{
    const double omega = 2 * std::numbers::pi / response;
    return 1 - (1 + omega * t) * std::exp(-omega * t);
}

} // namespace

class TestMotion : public QObject
{
    Q_OBJECT

private slots:
    void init() { Motion::setAnimationsEnabled(true); }

    void springSettlesWithinOnePerMilleAtItsDuration_data();
    void springSettlesWithinOnePerMilleAtItsDuration();
    void springCurveFollowsTheSpring_data();
    void springCurveFollowsTheSpring();
    void springCurveRisesWithoutOvershoot();
    void easeInOut_data();
    void easeInOut();

    void currentAnimation_data();
    void currentAnimation();
    void transactionEndsWhenChangeThrows();
};

void TestMotion::springSettlesWithinOnePerMilleAtItsDuration_data()
{
    QTest::addColumn<double>("response");
    QTest::newRow("row toggle, 0.2 s") << 0.2;
    QTest::newRow("adding a task, 0.25 s") << 0.25;
    QTest::newRow("slow, 1 s") << 1.0;
}

void TestMotion::springSettlesWithinOnePerMilleAtItsDuration()
{
    QFETCH(double, response);
    const Animation spring = Animation::spring(response);
    const double seconds = spring.durationMs() / 1000.0;
    // About 1.47 responses: within 0.1 % of the target by then, and not long before.
    QVERIFY(std::abs(seconds / response - 1.47) < 0.01);
    QVERIFY(springAt(seconds + 0.0005, response) >= 0.999);
    QVERIFY(springAt(seconds * 0.97, response) < 0.999);
}

void TestMotion::springCurveFollowsTheSpring_data()
{
    QTest::addColumn<double>("response");
    QTest::addColumn<double>("seconds");
    QTest::newRow("a quarter response") << 0.2 << 0.05;
    QTest::newRow("half a response") << 0.2 << 0.1;
    QTest::newRow("one response") << 0.25 << 0.25;
    QTest::newRow("just before the end") << 1.0 << 1.4;
}

void TestMotion::springCurveFollowsTheSpring()
{
    QFETCH(double, response);
    QFETCH(double, seconds);
    const Animation spring = Animation::spring(response);
    const double progress = seconds * 1000.0 / spring.durationMs();
    const double value = spring.easingCurve().valueForProgress(progress);
    // The curve is the spring stretched by at most 0.1 % so that it ends exactly at 1.
    QVERIFY2(std::abs(value - springAt(seconds, response)) < 0.0015,
             qPrintable(QStringLiteral("%1 against %2").arg(value).arg(springAt(seconds,
                                                                                  response))));
}

void TestMotion::springCurveRisesWithoutOvershoot()
{
    const QEasingCurve curve = Animation::spring(0.2).easingCurve();
    QCOMPARE(curve.valueForProgress(0.0), 0.0);
    QCOMPARE(curve.valueForProgress(1.0), 1.0);
    qreal previous = 0;
    for (int i = 1; i <= 1000; ++i) {
        const qreal value = curve.valueForProgress(i / 1000.0);
        QVERIFY2(value >= previous, qPrintable(QString::number(i)));
        QVERIFY2(value <= 1.0, qPrintable(QString::number(i)));
        previous = value;
    }
}

void TestMotion::easeInOut_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("milliseconds");
    QTest::newRow("hover, 0.15 s") << 0.15 << 150;
    QTest::newRow("filter and delete, 0.2 s") << 0.2 << 200;
}

void TestMotion::easeInOut()
{
    QFETCH(double, seconds);
    QFETCH(int, milliseconds);
    const Animation ease = Animation::easeInOut(seconds);
    QCOMPARE(ease.durationMs(), milliseconds);
    const QEasingCurve curve = ease.easingCurve();
    QCOMPARE(curve.valueForProgress(0.0), 0.0);
    QCOMPARE(curve.valueForProgress(1.0), 1.0);
    QVERIFY(std::abs(curve.valueForProgress(0.5) - 0.5) < 1e-9);
    // Slow at both ends, symmetric about the middle.
    QVERIFY(curve.valueForProgress(0.1) < 0.05);
    QVERIFY(std::abs(curve.valueForProgress(0.2) + curve.valueForProgress(0.8) - 1) < 1e-9);
}

// A description of what is current where: "-" for none, otherwise the animation's seconds.
using Probe = std::function<QString()>;

static QString describe(const std::optional<Animation> &animation)
{
    return animation ? QString::number(animation->seconds) : QStringLiteral("-");
}

void TestMotion::currentAnimation_data()
{
    QTest::addColumn<Probe>("probe");
    QTest::addColumn<QString>("expected");

    QTest::newRow("outside any transaction") << Probe([] { return describe(Motion::current()); })
                                             << "-";
    QTest::newRow("inside a transaction") << Probe([] {
        QString seen;
        Motion::withAnimation(Animation::spring(0.25),
                              [&] { seen = describe(Motion::current()); });
        return seen;
    }) << "0.25";
    QTest::newRow("nested: innermost wins, outer comes back") << Probe([] {
        QStringList seen;
        Motion::withAnimation(Animation::easeInOut(0.2), [&] {
            seen << describe(Motion::current());
            Motion::withAnimation(Animation::spring(0.3),
                                  [&] { seen << describe(Motion::current()); });
            seen << describe(Motion::current());
        });
        seen << describe(Motion::current());
        return seen.join(' ');
    }) << "0.2 0.3 0.2 -";
    QTest::newRow("without animation inside a transaction") << Probe([] {
        QStringList seen;
        Motion::withAnimation(Animation::easeInOut(0.2), [&] {
            Motion::withoutAnimation([&] { seen << describe(Motion::current()); });
            seen << describe(Motion::current());
        });
        return seen.join(' ');
    }) << "- 0.2";
    QTest::newRow("animations switched off") << Probe([] {
        Motion::setAnimationsEnabled(false);
        QString seen;
        Motion::withAnimation(Animation::spring(0.2),
                              [&] { seen = describe(Motion::current()); });
        Motion::setAnimationsEnabled(true);
        return seen;
    }) << "-";
}

void TestMotion::currentAnimation()
{
    QFETCH(Probe, probe);
    QFETCH(QString, expected);
    QCOMPARE(probe(), expected);
    QVERIFY(!Motion::current());
}

void TestMotion::transactionEndsWhenChangeThrows()
{
    Motion::withAnimation(Animation::easeInOut(0.2), [] {
        try {
            Motion::withAnimation(Animation::spring(0.5),
                                  [] { throw std::runtime_error("change failed"); });
        } catch (const std::runtime_error &) {
        }
        QVERIFY(Motion::current());
        QCOMPARE(Motion::current()->seconds, 0.2);
    });
    QVERIFY(!Motion::current());
}

QTEST_GUILESS_MAIN(TestMotion)
#include "tst_motion.moc"
