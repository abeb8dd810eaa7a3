#pragma once

#include "preferences/SaveError.h"

#include <QByteArray>
#include <QString>

// The folder that holds the preferences file, and the care it needs: private to the user
// (0700, files 0600), the lock that saves take, copies of stored lists that could not be
// read, and the leftovers a save interrupted by a kill leaves behind. Reading and writing the
// settings is not its job.
class PreferencesFolder
{
public:
    explicit PreferencesFolder(const QString &filePath);

    // Lorvane's folder for state that is not a preference (recovery copies, sync state):
    // "lorvane" in $XDG_STATE_HOME when that is an absolute path, as the base directory
    // rules ask, else in ~/.local/state. Qt 6.4 has no name for it.
    static QString stateFolder();

    QString filePath() const { return m_filePath; }
    QString path() const;

    // The folder 0700, made with its missing parents when there is none. False when it cannot
    // be made or changed.
    bool makePrivate() const;

    // The preferences file loses any access of group and others.
    void makeFilePrivate() const;

    // Taken by every save, by every process that saves this file.
    QString lockPath() const { return path() + QStringLiteral("/lorvane.lock"); }

    // Copies bytes that could not be read as a task list to a new file
    // "unreadable-tasks-<UTC time>.json" (0600) in the folder; an existing file is never
    // replaced. Returns the new file's path, or an empty string and why.
    QString keepUnreadableCopy(const QByteArray &bytes, SaveError *error = nullptr) const;

    // New versions are written beside the file and renamed over it; one found while holding
    // the save lock was left by a process that died in the middle of a save.
    void removeLeftoversOfInterruptedSave() const;

private:
    QString m_filePath;
};
