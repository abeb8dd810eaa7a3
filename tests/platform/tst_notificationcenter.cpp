// Each post reaches every observer of exactly that name, once.
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QTest>

class NotificationCenterTest : public QObject
{
    Q_OBJECT

private slots:
    void deliveredByName()
    {
        const QString interval = Notifications::timerIntervalChanged;
        const QString other = u"lorvane.other"_qs;
        QStringList delivered;
        for (const QString &name : {interval, interval, other}) {
            NotificationCenter::defaultCenter().observe(name, this,
                                                        [&, name] { delivered.append(name); });
        }
        for (const QString &name : {interval, u"lorvane.TimerIntervalChanged"_qs, other})
            NotificationCenter::defaultCenter().post(name);
        QCoreApplication::processEvents();
        QCOMPARE(delivered, QStringList({interval, interval, other}));
    }
};

QTEST_GUILESS_MAIN(NotificationCenterTest)
#include "tst_notificationcenter.moc"
