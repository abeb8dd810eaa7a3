// Lorvane as installed, plus one line on standard error once its first frame is shown:
// "lorvane-time first-frame <CLOCK_MONOTONIC ns>", and one each time the input line gets the
// keyboard focus in the active window: "lorvane-time input-focused <ns>". With
// LORVANE_REPORT_FIRST_FRAME=quit it also quits after the first frame (for profiling
// start-up). Nothing else is added, so that it loads and starts exactly as the installed
// program does.
#include "app/Application.h"
#include "app/MainWindow.h"
#include "views/ContentView.h"
#include "views/InputArea.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdio>
#include <ctime>

namespace {

void report(const char *event)
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "lorvane-time %s %lld\n", event, now.tv_sec * 1000000000LL + now.tv_nsec);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    return runApplication(argc, argv, [](RunningApplication &running) {
        const bool quit = qgetenv("LORVANE_REPORT_FIRST_FRAME") == "quit";
        QObject::connect(&running.window, &MainWindow::firstFrameShown, &running.window, [quit] {
            report("first-frame");
            if (quit)
                QCoreApplication::quit();
        });
        QLineEdit *field = running.content.inputArea()->field();
        QObject::connect(qApp, &QApplication::focusChanged, field,
                         [field](QWidget *, QWidget *now) {
                             if (now == field && field->window()->isActiveWindow())
                                 report("input-focused");
                         });
    });
}
