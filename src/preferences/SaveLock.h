#pragma once

#include "preferences/FileSystemCalls.h"

#include <QString>

#include <chrono>

// An exclusive lock between processes, held while the preferences file is read, merged with
// and replaced, so that two copies of Lorvane on one list (two sessions of one user) never
// write over each other's change. It is an flock(2) on a lock file that stays in place: the
// system releases it when its holder ends, however that happens, so no lock outlives its
// process and none needs clearing away.
class SaveLock
{
public:
    enum class State {
        Held,
        // Another process held it for all the time given (a save that hangs on a network
        // home): the caller tries again later rather than freezing the window.
        Busy,
        // No lock to be had: the lock file cannot be made (a read-only folder) or the file
        // system cannot lock. Saving goes ahead without it; the save itself tells of what is
        // wrong with the folder.
        Unavailable,
    };

    SaveLock(const QString &lockFilePath, std::chrono::milliseconds patience,
             FileSystemCalls &calls = FileSystemCalls::system());
    ~SaveLock();
    SaveLock(const SaveLock &) = delete;
    SaveLock &operator=(const SaveLock &) = delete;

    State state() const { return m_state; }

private:
    FileSystemCalls &m_calls;
    int m_fd = -1;
    State m_state = State::Unavailable;
};
