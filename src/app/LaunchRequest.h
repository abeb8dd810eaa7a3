#pragma once

#include <QString>

#include <optional>

// What the command line asks for. With no arguments (or only the toolkit's own, such as
// "-platform"), the window; with "--add" and a text, that text added as one task, as if typed
// into the input line. The words after "--add" are one text, joined by spaces, so that a
// forgotten pair of quotes still adds the task as written.
struct LaunchRequest {
    std::optional<QString> taskToAdd;
    // Why the command line cannot be followed, in Spanish, for the user; empty when it can.
    QString error;

    static LaunchRequest parse(int argc, char *argv[]);
};
