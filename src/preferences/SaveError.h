#pragma once

#include <QString>

// Why a file could not be written: the step that failed, the system's error number and the
// file it was about. What the user is told depends only on the reason.
struct SaveError {
    enum class Reason {
        DiskFull,     // no space left, or a quota or file size limit reached
        ReadOnly,     // a read-only file system
        NoPermission, // the file or its folder may not be written
        Busy,         // another process held the save lock too long
        Other,
    };

    QString step;
    int code = 0;
    QString path;

    Reason reason() const;
    // One line in English for the log, e.g. "cannot write /x/lorvane.conf: No space left".
    QString toString() const;
};
