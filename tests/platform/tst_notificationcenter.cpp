// A post reaches every observer of exactly that name, once.
#include "platform/NotificationCenter.h"

#include <QTest>

class NotificationCenterTest : public QObject
{
    Q_OBJECT

private slots:
    void deliveredByName()
    {
        const QString interval = Notifications::timerIntervalChanged;
        QStringList told;
        for (const QString &name : {interval, interval, u"lorvane.other"_qs})
            NotificationCenter::defaultCenter().observe(name, this, [&, name] { told << name; });
        for (const QString &name : {interval, u"lorvane.TimerIntervalChanged"_qs})
            NotificationCenter::defaultCenter().post(name);
        QTRY_COMPARE(told, QStringList({interval, interval}));
    }
};

QTEST_GUILESS_MAIN(NotificationCenterTest)
#include "tst_notificationcenter.moc"
