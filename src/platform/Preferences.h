#pragma once

#include "platform/PreferencesFolder.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class QSettings;

// Typed access to the user's preferences file ($XDG_CONFIG_HOME/lorvane/lorvane.conf).
// Every read looks at the file as it is now, since another program (a sync tool, a restore,
// a hand edit) may have changed it; every write replaces the file whole, durably.
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

    Preferences();

    QString filePath() const { return m_folder.filePath(); }
    const PreferencesFolder &folder() const { return m_folder; }

    std::optional<QByteArray> tasksDocument() const;
    // True when the document reached the disk (file 0600 in a 0700 folder); the caller keeps
    // its data otherwise.
    bool setTasksDocument(const QByteArray &document);
    // Reads the stored list and writes what `update` makes of it in one pass over the file.
    // True when something was written.
    bool updateTasksDocument(const TasksUpdate &update);

    // The stored interval; the default when absent or not an integer.
    int timerMinutes() const;
    // The raw integer, 0 when absent, as the reminder reads it.
    int storedTimerMinutes() const;
    bool setTimerMinutes(int minutes);

private:
    std::optional<QVariantMap> valuesOnDisk() const;
    bool rewrite(const std::function<bool(const QVariantMap &stored, QSettings &next)> &change);

    PreferencesFolder m_folder;
    // The values this object last read from or wrote to the file, and the file's bytes then:
    // while the bytes stay the same, they need not be parsed again.
    struct Snapshot {
        std::optional<QByteArray> bytes;
        QVariantMap values;
    };
    mutable std::optional<Snapshot> m_lastSeen;
};
