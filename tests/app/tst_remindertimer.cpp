#include "app/ReminderTimer.h"

#include <QTest>

#include <limits>

class TestReminderTimer : public QObject
{
    Q_OBJECT

private slots:
    void interval_data();
    void interval();
};

void TestReminderTimer::interval_data()
{
    QTest::addColumn<qint64>("storedMinutes");
    QTest::addColumn<int>("expectedMsec");

    constexpr int intMax = std::numeric_limits<int>::max();
    QTest::newRow("absent reads as 0: thirty minutes") << qint64(0) << 1800 * 1000;
    QTest::newRow("negative: thirty minutes") << qint64(-5) << 1800 * 1000;
    QTest::newRow("most negative: thirty minutes")
        << std::numeric_limits<qint64>::min() << 1800 * 1000;
    QTest::newRow("one minute") << qint64(1) << 60 * 1000;
    QTest::newRow("two hours") << qint64(120) << 120 * 60 * 1000;
    QTest::newRow("largest that fits the timer") << qint64(35791) << 35791 * 60 * 1000;
    QTest::newRow("one more minute is held at the limit") << qint64(35792) << intMax;
    QTest::newRow("product would overflow 64 bits") << std::numeric_limits<qint64>::max() << intMax;
}

void TestReminderTimer::interval()
{
    QFETCH(qint64, storedMinutes);
    QFETCH(int, expectedMsec);

    QCOMPARE(ReminderTimer::intervalMsecFor(storedMinutes), expectedMsec);

    ReminderTimer timer;
    timer.start(storedMinutes);
    QVERIFY(timer.isActive());
    QCOMPARE(timer.intervalMsec(), expectedMsec);
    // The first firing is one whole interval away, never due at once.
    QVERIFY(timer.remainingMsec() > expectedMsec - 1000);
}

QTEST_GUILESS_MAIN(TestReminderTimer)
#include "tst_remindertimer.moc"
