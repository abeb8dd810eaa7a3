#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/MainWindow.h"
#include "app/PlatformChoice.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/TrayIcon.h"
#include "platform/Preferences.h"
#include "views/ContentView.h"

#ifdef LORVANE_TEST_HOOKS
#include "app/TestHooks.h"
#endif

#include <QApplication>
#include <QProcessEnvironment>
#include <QScreen>

#include <cstdio>
#include <memory>
#include <vector>

#ifdef LORVANE_TEST_HOOKS
namespace {

QByteArray rectText(const QRect &rect)
{
    return QByteArray::number(rect.x()) + ',' + QByteArray::number(rect.y()) + ','
            + QByteArray::number(rect.width()) + ',' + QByteArray::number(rect.height());
}

void addTestCommands(TestHooks &hooks, AppDelegate &delegate, MainWindow &window,
                     ContentView &content)
{
    hooks.addCommand("state", [&window](const QByteArray &) {
        return "visible=" + QByteArray::number(window.isVisible() && !window.isMinimized())
                + " active=" + QByteArray::number(window.isActiveWindow())
                + " geometry=" + rectText(window.geometry())
                + " frame=" + rectText(window.frameGeometry())
                + " pinned=" + rectText(window.pinnedGeometry())
                + " snaps=" + QByteArray::number(window.snapBackCount());
    });
    hooks.addCommand("reminder", [&delegate](const QByteArray &) {
        ReminderTimer &timer = delegate.reminderTimer();
        return "active=" + QByteArray::number(timer.isActive())
                + " interval=" + QByteArray::number(timer.intervalMsec())
                + " remaining=" + QByteArray::number(timer.remainingMsec());
    });
    hooks.addCommand("fire-reminder", [&delegate](const QByteArray &) {
        delegate.reminderTimer().fire();
        return QByteArrayLiteral("ok");
    });
    hooks.addCommand("add", [&content](const QByteArray &text) {
        content.addTask(QString::fromUtf8(text));
        return "tasks=" + QByteArray::number(content.store().tasks().size());
    });
    hooks.addCommand("tasks", [&content](const QByteArray &) {
        return "tasks=" + QByteArray::number(content.store().tasks().size());
    });
    hooks.addCommand("grab", [&window](const QByteArray &path) {
        return window.grab().save(QString::fromUtf8(path)) ? QByteArrayLiteral("ok")
                                                          : QByteArrayLiteral("error");
    });
    hooks.addCommand("screens", [](const QByteArray &) {
        const QScreen *primary = QGuiApplication::primaryScreen();
        if (!primary)
            return QByteArrayLiteral("count=0");
        return "count=" + QByteArray::number(QGuiApplication::screens().size())
                + " primary=" + primary->name().toUtf8()
                + " geometry=" + rectText(primary->geometry())
                + " available=" + rectText(primary->availableGeometry())
                + " scale=" + QByteArray::number(primary->devicePixelRatio())
                + " platform=" + QGuiApplication::platformName().toUtf8();
    });
    hooks.addCommand("quit", [](const QByteArray &) {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return QByteArrayLiteral("ok");
    });
    hooks.addCommand("abort", [](const QByteArray &) -> QByteArray { std::abort(); });
}

} // namespace
#endif

int main(int argc, char *argv[])
{
    // Qt picks its platform plugin when the application object is made, so the choice
    // between X11 and Wayland is made before, and handed over as "-platform" rather than
    // through the environment, which programs started from here would inherit.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QList<QByteArray> qtArguments
            = PlatformChoice::decide(QProcessEnvironment::systemEnvironment(), arguments)
                      .applyTo(arguments);
    std::vector<char *> qtArgv;
    for (QByteArray &argument : qtArguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    // Both outlive the application object, which keeps a reference to them.
    int qtArgc = int(qtArguments.size());

    QCoreApplication::setOrganizationName(QStringLiteral("lorvane"));
    QCoreApplication::setApplicationName(QStringLiteral("lorvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("lorvane"));
    QApplication app(qtArgc, qtArgv.data());
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lorvane"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QGuiApplication::setQuitOnLastWindowClosed(
            AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
    QGuiApplication::setWindowIcon(AppIcon::icon());

    // From here on SIGTERM, SIGINT and SIGHUP quit through the event loop.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app,
                     &QCoreApplication::quit);

    // Before anything reads or writes the task list: only one process may own it. Declared
    // first among the objects below, so the lock is released last.
    SingleInstance instance;
    switch (instance.start()) {
    case SingleInstance::Role::Secondary:
        return 0;
    case SingleInstance::Role::Failed:
        std::fprintf(stderr, "lorvane: %s\n", qPrintable(instance.errorString()));
        return 1;
    case SingleInstance::Role::Primary:
        break;
    }

    if (!PlatformChoice::canPlaceWindows(QGuiApplication::platformName()))
        std::fprintf(stderr, "%s\n", PlatformChoice::unpinnedNotice());

    Preferences preferences;
    auto *content = new ContentView(preferences);
    MainWindow window(content);
    AppDelegate delegate(preferences);
    delegate.setWindow(&window);

    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate, [&delegate] {
        delegate.applicationShouldHandleReopen(AppDelegate::hasVisibleWindows());
    });
    QObject::connect(&window, &MainWindow::quitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, [&delegate, &instance] {
        instance.stopListening();
        delegate.applicationWillTerminate();
    });
    // Session end: the session manager asks for data to be committed (there is none, every
    // change is saved as it is made) and then sends a quit, which ends the event loop.

    std::unique_ptr<TrayIcon> tray;
    if (TrayIcon::isAvailable()) {
        tray = std::make_unique<TrayIcon>(QGuiApplication::windowIcon());
        QObject::connect(tray.get(), &TrayIcon::showRequested, &delegate,
                         &AppDelegate::showWindow);
        QObject::connect(tray.get(), &TrayIcon::quitRequested, &app, &QCoreApplication::quit);
        tray->show();
    }

#ifdef LORVANE_TEST_HOOKS
    std::unique_ptr<TestHooks> hooks(TestHooks::createFromEnvironment(nullptr));
    if (hooks)
        addTestCommands(*hooks, delegate, window, *content);
    if (qEnvironmentVariableIsSet("LORVANE_REPORT_FIRST_FRAME")) {
        QObject::connect(&window, &MainWindow::firstFrameShown, &window,
                         [] { TestHooks::reportTime("first-frame"); });
    }
#endif

    delegate.applicationDidFinishLaunching();
    // Shown in the first turn of the event loop, right after the configuration queued above
    // has placed it: the window manager then maps it in its column instead of placing it
    // somewhere else first.
    QMetaObject::invokeMethod(&window, &QWidget::show, Qt::QueuedConnection);
    return app.exec();
}
