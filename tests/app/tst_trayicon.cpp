#include "app/AppIcon.h"
#include "app/TrayIcon.h"

#include <QAction>
#include <QSignalSpy>
#include <QTest>

class TestTrayIcon : public QObject
{
    Q_OBJECT

private slots:
    void menuShowsTheWindowOrQuits();
};

void TestTrayIcon::menuShowsTheWindowOrQuits()
{
    TrayIcon tray(AppIcon::icon());
    QSignalSpy shows(&tray, &TrayIcon::showRequested);
    QSignalSpy quits(&tray, &TrayIcon::quitRequested);
    QList<QAction *> actions = tray.menu()->actions();
    actions.removeIf([](QAction *action) { return action->isSeparator(); });
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions.at(0)->text(), QStringLiteral("Mostrar Lorvane"));
    QCOMPARE(actions.at(1)->text(), QStringLiteral("Salir de Lorvane"));

    actions.at(0)->trigger();
    QCOMPARE(shows.count(), 1);
    QCOMPARE(quits.count(), 0);
    actions.at(1)->trigger();
    QCOMPARE(shows.count(), 1);
    QCOMPARE(quits.count(), 1);
}

QTEST_MAIN(TestTrayIcon)
#include "tst_trayicon.moc"
