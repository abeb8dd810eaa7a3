#pragma once

#include <functional>

class AppDelegate;
class ContentView;
class MainWindow;

// The parts of a running Lorvane that a caller of runApplication() may extend.
struct RunningApplication {
    AppDelegate &delegate;
    MainWindow &window;
    ContentView &content;
};

// Runs Lorvane and returns the process's exit status. `extend`, when given, runs once the
// window and the delegate exist, just before launching finishes.
int runApplication(int argc, char *argv[],
                   const std::function<void(RunningApplication &)> &extend = {});
