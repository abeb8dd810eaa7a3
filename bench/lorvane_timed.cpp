// Lorvane as installed, plus one line on standard error once its first frame is shown:
// "lorvane-time first-frame <CLOCK_MONOTONIC ns>". With LORVANE_REPORT_FIRST_FRAME=quit it
// also quits then (for profiling start-up). Nothing else is added, so that it loads and
// starts exactly as the installed program does.
#include "app/Application.h"
#include "app/MainWindow.h"

#include <QCoreApplication>

#include <cstdio>
#include <ctime>

int main(int argc, char *argv[])
{
    return runApplication(argc, argv, [](RunningApplication &running) {
        const bool quit = qgetenv("LORVANE_REPORT_FIRST_FRAME") == "quit";
        QObject::connect(&running.window, &MainWindow::firstFrameShown, &running.window, [quit] {
            timespec now = {};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "lorvane-time first-frame %lld\n",
                         now.tv_sec * 1000000000LL + now.tv_nsec);
            std::fflush(stderr);
            if (quit)
                QCoreApplication::quit();
        });
    });
}
