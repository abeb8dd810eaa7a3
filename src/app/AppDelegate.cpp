#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "app/WindowPlacement.h"
#include "desktop/X11WindowManager.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

AppDelegate::AppDelegate(Preferences &preferences, QObject *parent)
    : QObject(parent), m_preferences(preferences)
{
    // The firing itself does nothing but queue the work, so that the raise happens after
    // the timer callback has returned.
    connect(&m_reminderTimer, &ReminderTimer::fired, this, [] {
        QMetaObject::invokeMethod(qApp, &AppDelegate::bringWindowsToFront, Qt::QueuedConnection);
    });
}

void AppDelegate::setWindow(MainWindow *window)
{
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (m_window) {
        connect(m_window, &MainWindow::frameMarginsChanged, this,
                &AppDelegate::configureWindowLater);
    }
}

void AppDelegate::applicationDidFinishLaunching()
{
    configureWindowLater();
    startReminderTimer();

    // Deliveries come queued, after the post has returned; the restart is queued once
    // more so that it also runs after every other observer of the same post. `this` as
    // the context ends both when the delegate goes.
    NotificationCenter::defaultCenter().observe(Notifications::timerIntervalChanged, this, [this] {
        QMetaObject::invokeMethod(this, &AppDelegate::startReminderTimer, Qt::QueuedConnection);
    });

    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        observeScreen(screen);
        configureWindowLater();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &AppDelegate::configureWindowLater);
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, &AppDelegate::configureWindowLater);
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens)
        observeScreen(screen);
}

void AppDelegate::observeScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &AppDelegate::configureWindowLater);
    connect(screen, &QScreen::availableGeometryChanged, this, &AppDelegate::configureWindowLater);
    // A new scale factor changes the device size of the column even where the logical
    // geometry stays the same.
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, &AppDelegate::configureWindowLater);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, &AppDelegate::configureWindowLater);
}

void AppDelegate::configureWindowLater()
{
    QMetaObject::invokeMethod(this, &AppDelegate::configureWindow, Qt::QueuedConnection);
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows)
        showWindow();
    return true;
}

void AppDelegate::applicationWillTerminate()
{
    m_reminderTimer.stop();
}

bool AppDelegate::hasVisibleWindows()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window->isVisible() && !window->isMinimized() && window->windowType() != Qt::Popup &&
            window->windowType() != Qt::ToolTip)
            return true;
    }
    return false;
}

void AppDelegate::showWindow()
{
    if (!bringUp())
        return;
    m_window->activateWindow();
}

bool AppDelegate::bringUp()
{
    if (!m_window)
        return false;
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    return true;
}

namespace {

// The X server time of the user's action that started a launch, as its startup notification
// id carries it ("..._TIME<time>"); 0 when unknown.
quint32 launchTime(const QVariantMap &platformData)
{
    const QString id = platformData.value(QStringLiteral("desktop-startup-id")).toString();
    const qsizetype at = id.lastIndexOf(QLatin1String("_TIME"));
    return at < 0 ? 0 : id.mid(at + 5).toUInt();
}

// Runs `action` once `window` has been exposed: a window manager activates only a window it
// has mapped.
void whenExposed(QWindow *window, std::function<void()> action)
{
    class Watcher : public QObject
    {
    public:
        Watcher(QWindow *window, std::function<void()> action)
            : QObject(window), m_action(std::move(action))
        {
            window->installEventFilter(this);
            // A window that never comes up does not keep the request forever.
            QTimer::singleShot(2000, this, [this] { deleteLater(); });
        }
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
                QTimer::singleShot(0, parent(), m_action);
                watched->removeEventFilter(this);
                deleteLater();
            }
            return false;
        }

    private:
        std::function<void()> m_action;
    };
    if (window->isExposed())
        action();
    else
        new Watcher(window, std::move(action));
}

} // namespace

void AppDelegate::activateWindow(const QVariantMap &platformData)
{
    if (!bringUp())
        return;
    const quint32 time = launchTime(platformData);
    whenExposed(m_window->windowHandle(), [window = m_window, time] {
        if (!window)
            return;
        if (!X11WindowManager::activate(window->winId(), time))
            window->activateWindow();
    });
}

void AppDelegate::configureWindow()
{
    MainWindow *window = m_window;
    if (!window)
        return;

    // Normal stacking: never above other windows; the reminder brings it forward instead.
    // The window is opaque on the palette's window colour from the start, widgets never move
    // their window by a drag on the background, and the shadow is the window manager's.
    window->setFlags(MainWindow::windowFlagsForColumn);
    window->setWindowTitle(QStringLiteral("Lorvane"));
    window->setMovable(false);
    window->setResizable(false);

    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Scaled screens hand out rounded logical figures; the placement keeps the device
    // pixels of the column inside the available area whatever they were rounded from.
    const QRect geometry =
        WindowPlacement::columnGeometry(screen->availableGeometry(), window->frameMargins(),
                                        screen->devicePixelRatio(), screen->geometry().topLeft());
    if (geometry.isNull())
        return;
    window->pin(geometry);
}

void AppDelegate::startReminderTimer()
{
    m_reminderTimer.start(m_preferences.storedTimerMinutes());
}

void AppDelegate::bringWindowsToFront()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (!window->isVisible())
            continue;
        // A plain raise is what window managers without focus-stealing prevention follow;
        // mutter and kwin only follow a restack request and refuse the raise.
        if (!X11WindowManager::restackAbove(window->winId()))
            window->raise();
    }
}
