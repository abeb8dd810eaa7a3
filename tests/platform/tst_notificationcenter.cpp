// Notifications by name: delivered from the event loop after post() has returned, once per
// post to every observer of exactly that name, and never to an observer whose context is
// gone, even when it went between the post and the delivery.
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QTest>

#include <memory>

class NotificationCenterTest : public QObject
{
    Q_OBJECT

private slots:
    void deliveredByNameAfterPostReturns_data();
    void deliveredByNameAfterPostReturns();
    void endsWithItsContext();
};

void NotificationCenterTest::deliveredByNameAfterPostReturns_data()
{
    QTest::addColumn<QStringList>("posts");
    QTest::addColumn<int>("intervalDeliveries");
    QTest::addColumn<int>("otherDeliveries");

    QTest::newRow("another name only") << QStringList{u"lorvane.other"_qs} << 0 << 1;
    QTest::newRow("a name differing in case")
        << QStringList{u"lorvane.TimerIntervalChanged"_qs} << 0 << 0;
    QTest::newRow("each post delivered once")
        << QStringList{Notifications::timerIntervalChanged, u"lorvane.other"_qs,
                       Notifications::timerIntervalChanged}
        << 2 << 1;
}

void NotificationCenterTest::deliveredByNameAfterPostReturns()
{
    QFETCH(QStringList, posts);
    QFETCH(int, intervalDeliveries);
    QFETCH(int, otherDeliveries);

    NotificationCenter &center = NotificationCenter::defaultCenter();
    QObject context;
    int interval = 0;
    int intervalSecondObserver = 0;
    int other = 0;
    center.observe(Notifications::timerIntervalChanged, &context, [&] { ++interval; });
    center.observe(Notifications::timerIntervalChanged, &context,
                   [&] { ++intervalSecondObserver; });
    center.observe(u"lorvane.other"_qs, &context, [&] { ++other; });

    for (const QString &name : posts)
        center.post(name);
    QCOMPARE(interval + intervalSecondObserver + other, 0);

    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(interval, intervalDeliveries);
    QCOMPARE(intervalSecondObserver, intervalDeliveries);
    QCOMPARE(other, otherDeliveries);
}

void NotificationCenterTest::endsWithItsContext()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    int deliveries = 0;
    auto gone = std::make_unique<QObject>();
    auto leaving = std::make_unique<QObject>();
    center.observe(Notifications::timerIntervalChanged, gone.get(), [&] { ++deliveries; });
    center.observe(Notifications::timerIntervalChanged, leaving.get(), [&] { ++deliveries; });

    gone.reset();
    center.post(Notifications::timerIntervalChanged);
    leaving.reset();
    QCoreApplication::processEvents();
    QCOMPARE(deliveries, 0);
}

QTEST_GUILESS_MAIN(NotificationCenterTest)
#include "tst_notificationcenter.moc"
