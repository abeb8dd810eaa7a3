#include "app/AppDelegate.h"
#include "app/MainWindow.h"
#include "app/WindowPlacement.h"
#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <limits>
#include <memory>

namespace {

// A delegate with its own preferences file and a window with placeholder content.
struct Shell
{
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

    QRect expectedGeometry() const
    {
        return WindowPlacement::columnGeometry(
                QGuiApplication::primaryScreen()->availableGeometry(), window->frameMargins());
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
    void launchConfiguresTheWindowOneTurnLater();
    void configureWindowGivesTheFixedLook();
    void configureWithoutAWindowDoesNothing();
    void moveFromElsewhereIsUndone();
    void screenChangesConfigureAgain_data();
    void screenChangesConfigureAgain();
    void reminderIntervalFromPreferences_data();
    void reminderIntervalFromPreferences();
    void intervalChangeRestartsAfterThePost();
    void reopenShowsAHiddenWindow_data();
    void reopenShowsAHiddenWindow();
    void reopenLeavesAVisibleWindowAlone();
    void reminderRaisesWithoutActivating();
};

void TestAppDelegate::launchConfiguresTheWindowOneTurnLater()
{
    Shell shell;
    shell.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(shell.window.get()));

    shell.delegate->applicationDidFinishLaunching();
    QVERIFY(shell.delegate->reminderTimer().isActive());
    QVERIFY(!shell.window->pinnedGeometry().isValid());

    QTRY_COMPARE(shell.window->pinnedGeometry(), shell.expectedGeometry());
    QTRY_COMPARE(shell.window->geometry(), shell.expectedGeometry());
    QVERIFY(!shell.window->isMovable());
}

void TestAppDelegate::configureWindowGivesTheFixedLook()
{
    Shell shell;
    // Flags that must go: staying on top, maximising.
    shell.window->setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
    shell.window->setWindowTitle(QStringLiteral("something else"));
    shell.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(shell.window.get()));

    shell.delegate->configureWindow();

    // Changing flags re-creates the native window; it must come back on screen.
    QVERIFY(shell.window->isVisible());
    const Qt::WindowFlags flags = shell.window->windowFlags();
    QVERIFY(!(flags & Qt::WindowStaysOnTopHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QCOMPARE(shell.window->windowTitle(), QStringLiteral("Lorvane"));
    QCOMPARE(shell.window->accessibleName(), QStringLiteral("Lorvane"));
    QVERIFY(!shell.window->testAttribute(Qt::WA_TranslucentBackground));

    const QRect expected = shell.expectedGeometry();
    QTRY_COMPARE(shell.window->geometry(), expected);
    QCOMPARE(shell.window->minimumSize(), expected.size());
    QCOMPARE(shell.window->maximumSize(), expected.size());
}

void TestAppDelegate::configureWithoutAWindowDoesNothing()
{
    Shell shell;
    shell.window.reset();
    shell.delegate->configureWindow();
    QCOMPARE(shell.delegate->window(), nullptr);
}

void TestAppDelegate::moveFromElsewhereIsUndone()
{
    Shell shell;
    shell.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(shell.window.get()));
    shell.delegate->configureWindow();
    // Once shown, the decorations are known and the window is placed again with them.
    QTRY_COMPARE(shell.window->frameMargins(), shell.window->windowHandle()->frameMargins());
    QTRY_COMPARE(shell.window->geometry(), shell.expectedGeometry());
    const QRect pinned = shell.window->pinnedGeometry();
    QCOMPARE(pinned, shell.expectedGeometry());

    const int snapsBefore = shell.window->snapBackCount();
    shell.window->move(10, 10);
    QTRY_COMPARE(shell.window->geometry(), pinned);
    QVERIFY(shell.window->snapBackCount() > snapsBefore);

    // A hidden window is put back too, once it is shown again.
    shell.window->hide();
    shell.window->move(20, 20);
    shell.window->show();
    QTRY_COMPARE(shell.window->geometry(), pinned);
}

void TestAppDelegate::screenChangesConfigureAgain_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("available area changed") << 0;
    QTest::newRow("screen geometry changed") << 1;
    QTest::newRow("primary screen changed") << 2;
    QTest::newRow("screen added") << 3;
    QTest::newRow("screen removed") << 4;
}

void TestAppDelegate::screenChangesConfigureAgain()
{
    QFETCH(int, change);
    Shell shell;
    shell.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(shell.window.get()));
    shell.delegate->applicationDidFinishLaunching();
    QTRY_COMPARE(shell.window->geometry(), shell.expectedGeometry());

    // Let the window stray, as if the screen had changed under it.
    shell.window->setMovable(true);
    shell.window->setResizable(true);
    shell.window->setGeometry(5, 5, 200, 200);
    QTRY_COMPARE(shell.window->geometry(), QRect(5, 5, 200, 200));

    QScreen *screen = QGuiApplication::primaryScreen();
    switch (change) {
    case 0: emit screen->availableGeometryChanged(screen->availableGeometry()); break;
    case 1: emit screen->geometryChanged(screen->geometry()); break;
    case 2: emit qApp->primaryScreenChanged(screen); break;
    case 3: emit qApp->screenAdded(screen); break;
    case 4: emit qApp->screenRemoved(screen); break;
    }
    QVERIFY(shell.window->isMovable());
    QTRY_COMPARE(shell.window->geometry(), shell.expectedGeometry());
    QVERIFY(!shell.window->isMovable());
}

void TestAppDelegate::reminderIntervalFromPreferences_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("expectedMsec");

    QTest::newRow("absent") << QVariant() << 1800 * 1000;
    QTest::newRow("zero") << QVariant(0) << 1800 * 1000;
    QTest::newRow("negative") << QVariant(-3) << 1800 * 1000;
    QTest::newRow("one minute") << QVariant(1) << 60 * 1000;
    QTest::newRow("two hours") << QVariant(120) << 120 * 60 * 1000;
    QTest::newRow("largest int is held at the timer's limit")
            << QVariant(std::numeric_limits<int>::max()) << std::numeric_limits<int>::max();
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << 1800 * 1000;
}

void TestAppDelegate::reminderIntervalFromPreferences()
{
    QFETCH(QVariant, stored);
    QFETCH(int, expectedMsec);

    Shell shell;
    if (stored.isValid()) {
        QSettings file(shell.preferences->filePath(), QSettings::IniFormat);
        file.setValue(QLatin1String(Preferences::timerMinutesKey), stored);
    }
    shell.preferences = std::make_unique<Preferences>();
    shell.delegate = std::make_unique<AppDelegate>(*shell.preferences);

    shell.delegate->startReminderTimer();
    QCOMPARE(shell.delegate->reminderTimer().intervalMsec(), expectedMsec);
    QVERIFY(shell.delegate->reminderTimer().remainingMsec() > expectedMsec - 1000);
}

void TestAppDelegate::intervalChangeRestartsAfterThePost()
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
    const int remainingBefore = timer.remainingMsec();
    QVERIFY(remainingBefore <= 60 * 1000 - 300);

    postIntervalChanged();
    // The restart runs after the post has returned.
    QCOMPARE(timer.intervalMsec(), 60 * 1000);
    QTRY_COMPARE(timer.intervalMsec(), 2 * 60 * 1000);
    QVERIFY(timer.remainingMsec() > 2 * 60 * 1000 - 1000);

    // The same value again: a full new interval from the moment of the post.
    QTest::qWait(300);
    const int nearlyDue = timer.remainingMsec();
    postIntervalChanged();
    QTRY_VERIFY(timer.remainingMsec() > nearlyDue);
    QCOMPARE(timer.intervalMsec(), 2 * 60 * 1000);
}

void TestAppDelegate::reopenShowsAHiddenWindow_data()
{
    QTest::addColumn<bool>("minimized");
    QTest::newRow("closed") << false;
    QTest::newRow("minimised") << true;
}

void TestAppDelegate::reopenShowsAHiddenWindow()
{
    QFETCH(bool, minimized);
    Shell shell;
    shell.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(shell.window.get()));
    if (minimized)
        shell.window->showMinimized();
    else
        shell.window->close();
    QTRY_VERIFY(!AppDelegate::hasVisibleWindows());

    QVERIFY(shell.delegate->applicationShouldHandleReopen(AppDelegate::hasVisibleWindows()));
    QVERIFY(shell.window->isVisible());
    QVERIFY(!shell.window->isMinimized());
    QTRY_COMPARE(QApplication::activeWindow(), shell.window.get());
}

void TestAppDelegate::reopenLeavesAVisibleWindowAlone()
{
    Shell shell;
    shell.window->show();
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);
    QVERIFY(AppDelegate::hasVisibleWindows());

    QVERIFY(shell.delegate->applicationShouldHandleReopen(AppDelegate::hasVisibleWindows()));
    QTest::qWait(50);
    QCOMPARE(QApplication::activeWindow(), &other);
}

void TestAppDelegate::reminderRaisesWithoutActivating()
{
    Shell shell;
    shell.delegate->applicationDidFinishLaunching();
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);

    // The main window is closed: a firing must not bring it back.
    shell.delegate->reminderTimer().fire();
    QTest::qWait(50);
    QVERIFY(!shell.window->isVisible());
    QCOMPARE(QApplication::activeWindow(), &other);

    shell.window->show();
    other.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &other);
    shell.delegate->reminderTimer().fire();
    QTest::qWait(50);
    QVERIFY(shell.window->isVisible());
    QCOMPARE(QApplication::activeWindow(), &other);
}

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
