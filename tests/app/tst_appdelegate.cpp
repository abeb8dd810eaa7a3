#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/QtTranslation.h"
#include "app/WindowPlacement.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// A delegate with its own preferences file and a window with placeholder content.
struct Shell {
    Shell()
    {
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        preferences = std::make_unique<Preferences>();
        window = std::make_unique<MainWindow>(new QWidget);
        // The placeholder content has no size of its own.
        window->resize(300, 400);
        delegate = std::make_unique<AppDelegate>(*preferences);
        delegate->setWindow(window.get());
    }

    void showAndWait()
    {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    QRect expectedGeometry() const
    {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        return WindowPlacement::columnGeometry(available, window->frameMargins(), 1.0,
                                               available.topLeft());
    }

    QTemporaryDir configHome;
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<AppDelegate> delegate;
};

void postIntervalChanged()
{
    NotificationCenter::defaultCenter().post(Notifications::timerIntervalChanged);
}

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT

private slots:
    void launchGivesTheFixedColumnOneTurnLater()
    {
        Shell shell;
        // Flags that must go: staying on top, maximising.
        shell.window->setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
        shell.window->setWindowTitle(QStringLiteral("something else"));
        shell.showAndWait();

        shell.delegate->applicationDidFinishLaunching();
        QVERIFY(shell.delegate->reminderTimer().isActive());
        QVERIFY(!shell.window->pinnedGeometry().isValid());

        // The decorations change with the flags: the expected place is worked out afresh.
        QTRY_COMPARE(shell.window->geometry(), shell.expectedGeometry());
        const QRect pinned = shell.window->pinnedGeometry();
        QCOMPARE(pinned, shell.expectedGeometry());
        // Changing flags re-creates the native window; it must come back on screen.
        QVERIFY(shell.window->isVisible());
        QVERIFY(!(shell.window->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(shell.window->windowTitle(), QStringLiteral("Lorvane"));
        QCOMPARE(shell.window->maximumSize(), pinned.size());

        // Moved from elsewhere, or while hidden: put back.
        shell.window->move(10, 10);
        QTRY_COMPARE(shell.window->geometry(), pinned);
        shell.window->hide();
        shell.window->move(20, 20);
        shell.window->show();
        QTRY_COMPARE(shell.window->geometry(), pinned);
    }
    void intervalChangeRestartsAfterThePost()
    {
        Shell shell;
        QVERIFY(shell.preferences->setTimerMinutes(1));
        shell.delegate->applicationDidFinishLaunching();
        ReminderTimer &timer = shell.delegate->reminderTimer();
        QCOMPARE(timer.intervalMsec(), 60 * 1000);

        // A new value without the notification changes nothing.
        QVERIFY(shell.preferences->setTimerMinutes(2));
        QTest::qWait(300);
        QCOMPARE(timer.intervalMsec(), 60 * 1000);

        postIntervalChanged();
        // The restart runs after the post has returned.
        QCOMPARE(timer.intervalMsec(), 60 * 1000);
        QTRY_COMPARE(timer.intervalMsec(), 2 * 60 * 1000);

        // The same value again: a full new interval from the moment of the post.
        QTest::qWait(300);
        const int nearlyDue = timer.remainingMsec();
        postIntervalChanged();
        QTRY_VERIFY(timer.remainingMsec() > nearlyDue);
    }
    void reopen_data()
    {
        QTest::addColumn<QString>("state"); // closed or minimised: shown and activated
        for (const char *state : {"closed", "minimised", "visible"})
            QTest::newRow(state) << QString(state);
    }
    void reopen()
    {
        QFETCH(QString, state);
        Shell shell;
        shell.showAndWait();
        QWidget other;
        if (state == "minimised")
            shell.window->showMinimized();
        else if (state == "closed")
            shell.window->close();
        else {
            other.show();
            other.activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), &other);
        }
        const bool visible = state == "visible";
        QTRY_COMPARE(AppDelegate::hasVisibleWindows(), visible);
        QVERIFY(shell.delegate->applicationShouldHandleReopen(AppDelegate::hasVisibleWindows()));
        QVERIFY(shell.window->isVisible() && !shell.window->isMinimized());
        if (visible) {
            QTest::qWait(50);
            QCOMPARE(QApplication::activeWindow(), &other);
        } else {
            QTRY_COMPARE(QApplication::activeWindow(), shell.window.get());
        }
    }
    void qtTextsAreSpanish()
    {
        QVERIFY(QtTranslation::installSpanish(*qApp));
        QLineEdit field(QStringLiteral("texto"));
        const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts.append(action->text().remove(u'&').section(u'\t', 0, 0));
        QVERIFY2(texts.contains(QStringLiteral("Pegar")), qPrintable(texts.join(u'|')));
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
