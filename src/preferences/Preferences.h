#pragma once

#include "preferences/FileSystemCalls.h"
#include "preferences/PreferencesFolder.h"
#include "preferences/SaveError.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class SettingsText;

// Typed access to the user's preferences file ($XDG_CONFIG_HOME/lorvane/lorvane.conf, in
// QSettings' native format). Every read takes the file's bytes as they are now, since another
// program (a sync tool, a restore, a hand edit) may have changed it, and reads exactly those.
// Every write reads the file again, changes one value and replaces the file whole, durably,
// under the save lock, so that keys and lines it does not know stay as they were.
class Preferences
{
public:
    static constexpr const char *tasksKey = "lorvane.tasks";
    static constexpr const char *timerMinutesKey = "lorvane.timerMinutes";
    static constexpr int defaultTimerMinutes = 30;

    // What to store given the task list stored now (nothing when absent); nullopt writes
    // nothing.
    using TasksUpdate =
        std::function<std::optional<QByteArray>(const std::optional<QByteArray> &stored)>;

    explicit Preferences(FileSystemCalls &calls = FileSystemCalls::system());

    QString filePath() const { return m_folder.filePath(); }
    const PreferencesFolder &folder() const { return m_folder; }

    std::optional<QByteArray> tasksDocument() const;
    // True when the document reached the disk (file 0600 in a 0700 folder); the caller keeps
    // its data otherwise, and lastError() says why.
    bool setTasksDocument(const QByteArray &document);
    // Reads the stored list and writes what `update` makes of it, under the save lock, so that
    // no other process saves in between. True when it was written.
    bool updateTasksDocument(const TasksUpdate &update);

    // The stored interval; the default when absent or not an integer.
    qint64 timerMinutes() const;
    // The raw integer, 0 when absent, as the reminder reads it.
    qint64 storedTimerMinutes() const;
    bool setTimerMinutes(int minutes);

    // Why the last write failed; nothing when it succeeded or had nothing to write.
    const std::optional<SaveError> &lastError() const { return m_lastError; }
    // How long a write waits for another process's save to end before it gives up.
    void setLockPatience(std::chrono::milliseconds patience) { m_lockPatience = patience; }

private:
    QByteArray bytesOnDisk() const;
    bool rewrite(const std::function<bool(SettingsText &text)> &change);

    FileSystemCalls &m_calls;
    PreferencesFolder m_folder;
    std::chrono::milliseconds m_lockPatience{100};
    std::optional<SaveError> m_lastError;
};
