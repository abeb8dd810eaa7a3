#pragma once

#include "app/LaunchRequest.h"

class SingleInstance;

// A launch that needs no window: another Lorvane runs (or is starting), or a task is to be
// added. It makes no connection to the display and loads nothing of the interface, so that
// a keyboard shortcut bound to `lorvane` or `lorvane --add` is over at once:
// - another process runs: it is asked over the session bus to bring its window forward
//   (or to add the task) and this one exits;
// - none runs and a task is to be added: it goes straight into the stored list, under the
//   same lock a starting window waits for.
// A plain launch that finds the running process gone after waiting for it starts afresh as
// the window. Returns the exit status.
int runWindowlessLaunch(int argc, char *argv[], SingleInstance &instance,
                        const LaunchRequest &request);
