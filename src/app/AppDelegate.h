#pragma once

#include "app/ReminderTimer.h"

#include <QObject>
#include <QPointer>
#include <QVariantMap>

class MainWindow;
class Preferences;
class QScreen;

// The application's life cycle: configures and pins the window, runs the reminder, brings
// the window back on a reopen, and stops the reminder when the application quits.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(Preferences &preferences, QObject *parent = nullptr);

    // The window that configureWindow() styles and places. Without one it does nothing.
    void setWindow(MainWindow *window);
    MainWindow *window() const { return m_window; }

    // Start-up: configure the window one turn of the event loop later, start the reminder,
    // and follow interval changes and screen changes for the rest of the process.
    void applicationDidFinishLaunching();
    // Closing the window hides it; the application keeps running.
    static bool applicationShouldTerminateAfterLastWindowClosed() { return false; }
    // A second launch of the program. Shows, raises and activates the window when none is
    // visible; does nothing when one is.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    void applicationWillTerminate();

    // Whether any of the application's windows is on screen (minimised ones are not).
    static bool hasVisibleWindows();

    void configureWindow();
    void startReminderTimer();
    // Puts every visible top-level window in front of its stacking layer without activating
    // it, so keyboard focus stays where it is.
    static void bringWindowsToFront();

    // Shows, raises and activates the window even when it is visible: the user asked for it.
    void showWindow();
    // The same for a request from outside the window (a later launch, the desktop's
    // launcher), which window managers with focus-stealing prevention must not refuse.
    // `platformData` is what the launch passed on about itself (org.freedesktop.Application).
    void activateWindow(const QVariantMap &platformData);

    ReminderTimer &reminderTimer() { return m_reminderTimer; }

private:
    // Shows and raises the window, out of the minimised state; false without a window.
    bool bringUp();
    void observeScreen(QScreen *screen);
    void configureWindowLater();

    Preferences &m_preferences;
    QPointer<MainWindow> m_window;
    ReminderTimer m_reminderTimer;
};
