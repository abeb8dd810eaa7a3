#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <memory>

class NotificationCenterTest : public QObject
{
    Q_OBJECT

private slots:
    void oneSharedCenter();
    void deliveredAfterPostReturns();
    void deliveredByName_data();
    void deliveredByName();
    void endsWithItsContext();
    void postedFromAnotherThread();
};

void NotificationCenterTest::oneSharedCenter()
{
    QCOMPARE(&NotificationCenter::defaultCenter(), &NotificationCenter::defaultCenter());
    QCOMPARE(Notifications::timerIntervalChanged, u"lorvane.timerIntervalChanged"_qs);
}

void NotificationCenterTest::deliveredAfterPostReturns()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    QObject context;
    int deliveries = 0;
    center.observe(Notifications::timerIntervalChanged, &context, [&] { ++deliveries; });

    center.post(Notifications::timerIntervalChanged);
    QCOMPARE(deliveries, 0);
    QCoreApplication::processEvents();
    QCOMPARE(deliveries, 1);
    QCoreApplication::processEvents();
    QCOMPARE(deliveries, 1);
}

void NotificationCenterTest::deliveredByName_data()
{
    QTest::addColumn<QStringList>("posts");
    QTest::addColumn<int>("intervalDeliveries");
    QTest::addColumn<int>("otherDeliveries");

    QTest::newRow("nothing posted") << QStringList() << 0 << 0;
    QTest::newRow("another name only") << QStringList{u"lorvane.other"_qs} << 0 << 1;
    QTest::newRow("a name differing in case")
        << QStringList{u"lorvane.TimerIntervalChanged"_qs} << 0 << 0;
    QTest::newRow("each post delivered once")
        << QStringList{Notifications::timerIntervalChanged, u"lorvane.other"_qs,
                       Notifications::timerIntervalChanged}
        << 2 << 1;
}

void NotificationCenterTest::deliveredByName()
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
    center.observe(Notifications::timerIntervalChanged, gone.get(), [&] { ++deliveries; });
    gone.reset();
    center.post(Notifications::timerIntervalChanged);
    QCoreApplication::processEvents();
    QCOMPARE(deliveries, 0);

    // Destroyed between the post and the delivery: nothing runs either.
    auto leaving = std::make_unique<QObject>();
    center.observe(Notifications::timerIntervalChanged, leaving.get(), [&] { ++deliveries; });
    center.post(Notifications::timerIntervalChanged);
    leaving.reset();
    QCoreApplication::processEvents();
    QCOMPARE(deliveries, 0);
}

void NotificationCenterTest::postedFromAnotherThread()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    QObject context;
    QThread *deliveredOn = nullptr;
    center.observe(Notifications::timerIntervalChanged, &context,
                   [&] { deliveredOn = QThread::currentThread(); });

    std::unique_ptr<QThread> poster(QThread::create(
        [&center] { center.post(Notifications::timerIntervalChanged); }));
    poster->start();
    QVERIFY(poster->wait(5000));
    QTRY_VERIFY(deliveredOn != nullptr);
    QCOMPARE(deliveredOn, QCoreApplication::instance()->thread());
}

QTEST_GUILESS_MAIN(NotificationCenterTest)
#include "tst_notificationcenter.moc"
