#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/LaunchRequest.h"
#include "app/MainWindow.h"
#include "app/QtTranslation.h"
#include "app/SyncLoader.h"
#include "app/WindowlessLaunch.h"
#include "desktop/DesktopAppearance.h"
#include "desktop/PlatformChoice.h"
#include "desktop/SingleInstance.h"
#include "desktop/TerminationSignals.h"
#include "desktop/TrayIcon.h"
#include "desktop/X11WindowManager.h"
#include "model/Tags.h"
#include "preferences/Preferences.h"
#include "toolkit/WindowStyle.h"
#include "views/ContentView.h"
#include "views/InputArea.h"

#include <QApplication>
#include <QDBusConnection>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QScreen>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

int runApplication(int argc, char *argv[], const std::function<void(RunningApplication &)> &extend)
{
    const LaunchRequest request = LaunchRequest::parse(argc, argv);
    if (!request.error.isEmpty()) {
        std::fprintf(stderr, "lorvane: %s\n", qPrintable(request.error));
        return 2;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("lorvane"));
    QCoreApplication::setApplicationName(QStringLiteral("lorvane"));

    // Before anything reads or writes the task list: only one process may own it. Declared
    // first, so the lock is released last. A launch that finds it taken, or that only adds a
    // task, is over without a window.
    SingleInstance instance;
    if (request.taskToAdd || !instance.tryToBePrimary())
        return runWindowlessLaunch(argc, argv, instance, request);

    // Loading the font configuration is the longest single step before the first frame, and
    // nothing needs it until the first widget measures its text: it runs on another core
    // while the application object connects to the display.
    std::jthread fontConfiguration([] { FcInit(); });

    // Qt picks its platform plugin when the application object is made, so the choice
    // between X11 and Wayland is made before, and handed over as "-platform" rather than
    // through the environment, which programs started from here would inherit.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    QList<QByteArray> qtArguments =
        PlatformChoice::decide(QProcessEnvironment::systemEnvironment(), arguments)
            .applyTo(arguments);
    std::vector<char *> qtArgv;
    for (QByteArray &argument : qtArguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    // Both outlive the application object, which keeps a reference to them.
    int qtArgc = int(qtArguments.size());

    // The desktop entry is named after the application id, as are the bus name and the
    // AppStream metadata; Wayland compositors match the window to it by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.lorvane.Lorvane"));
    QApplication app(qtArgc, qtArgv.data());
    // Qt's accessibility bridge connects to the session bus as the first widget is made, and
    // waits for it: the connection (a process start where no bus is announced) is made on
    // another core meanwhile, and shared.
    std::jthread sessionBus([] { QDBusConnection::sessionBus(); });
    fontConfiguration.join();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Lorvane"));
    QApplication::setStyle(new WindowStyle(X11WindowManager::compositingActive));
    QtTranslation::installSpanish(app);
    QGuiApplication::setQuitOnLastWindowClosed(
        AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    // From here on SIGTERM, SIGINT and SIGHUP quit through the event loop.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app,
                     &QCoreApplication::quit);

    // Light or dark as the desktop prefers: asked now, so that the answer is usually back
    // before the window is shown.
    DesktopAppearance appearance(std::chrono::milliseconds(100));

    if (!PlatformChoice::canPlaceWindows(QGuiApplication::platformName()))
        std::fprintf(stderr, "%s\n", PlatformChoice::unpinnedNotice());

    Preferences preferences;
    auto *content = new ContentView(preferences);
    MainWindow window(content);
    AppDelegate delegate(preferences);
    delegate.setWindow(&window);

    // A later launch is the user asking for the window, typically by a keyboard shortcut
    // bound to `lorvane`: the column comes forward, active, ready to take a task.
    QObject::connect(&instance, &SingleInstance::reopenRequested, &delegate,
                     [&delegate, content](const QVariantMap &platformData) {
                         delegate.activateWindow(platformData);
                         content->inputArea()->field()->setFocus(Qt::ActiveWindowFocusReason);
                     });
    QObject::connect(&instance, &SingleInstance::addRequested, content,
                     [content](const QString &text) {
                         const QString task = trimmedSpacesAndTabs(text);
                         if (!task.isEmpty())
                             content->addTask(task);
                     });
    QObject::connect(&window, &MainWindow::quitRequested, &app, &QCoreApplication::quit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate, &instance, content] {
                         // A task still being edited keeps its new text, as leaving the field
                         // would.
                         content->commitOpenEdits();
                         // Changes a failed save left in memory get one more try, then a
                         // recovery copy that the next start offers.
                         content->store().saveBeforeQuit();
                         instance.stopListening();
                         delegate.applicationWillTerminate();
                     });
    // Session end: the session manager asks for data to be committed (every change is saved
    // as it is made, or kept at quit as above) and then sends a quit, which ends the event
    // loop.

    // The icon, the tray and the answer to later launches are not part of the first frame;
    // they follow in the next turn of the event loop after it.
    std::unique_ptr<TrayIcon> tray;
    SyncLoader sync(*content, &window);
    QObject::connect(content, &ContentView::syncClicked, &sync, &SyncLoader::openDialog);
    QObject::connect(
        &window, &MainWindow::firstFrameShown, &delegate,
        [&] {
            instance.listen();
            sync.startIfOn();
            QGuiApplication::setWindowIcon(AppIcon::icon());
            if (!TrayIcon::isAvailable())
                return;
            tray = std::make_unique<TrayIcon>(QGuiApplication::windowIcon());
            QObject::connect(tray.get(), &TrayIcon::showRequested, &delegate,
                             &AppDelegate::showWindow);
            QObject::connect(tray.get(), &TrayIcon::quitRequested, &app, &QCoreApplication::quit);
            tray->show();
        },
        Qt::QueuedConnection);

    if (extend) {
        RunningApplication running{delegate, window, *content};
        extend(running);
    }

    delegate.applicationDidFinishLaunching();
    // Shown once the desktop's appearance is applied (or after at most 100 ms without an
    // answer), and always after the configuration queued above has placed it: the window
    // manager then maps it in its column instead of placing it somewhere else first.
    QObject::connect(&appearance, &DesktopAppearance::settled, &window, &QWidget::show,
                     Qt::QueuedConnection);
    return app.exec();
}
