#pragma once

#include "platform/PreferencesFolder.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <optional>

// Typed access to the user's preferences file ($XDG_CONFIG_HOME/lorvane/lorvane.conf).
// One instance per process; everything that reads or writes a preference goes through it.
class Preferences
{
public:
    static constexpr const char *tasksKey = "lorvane.tasks";
    static constexpr const char *timerMinutesKey = "lorvane.timerMinutes";
    static constexpr int defaultTimerMinutes = 30;

    Preferences();

    QString filePath() const { return m_folder.filePath(); }
    const PreferencesFolder &folder() const { return m_folder; }

    std::optional<QByteArray> tasksDocument() const;
    // Writes the document and syncs the file to disk (atomic replace, file 0600 in a 0700
    // folder). False when the file could not be written; the caller keeps its data.
    bool setTasksDocument(const QByteArray &document);

    // The stored interval; the default when absent or not an integer.
    int timerMinutes() const;
    // The raw integer, 0 when absent, as the reminder reads it.
    int storedTimerMinutes() const;
    bool setTimerMinutes(int minutes);

private:
    bool write(const QString &key, const QVariant &value);

    PreferencesFolder m_folder;
    // Read side only. Every write goes through a short-lived QSettings on the same file: Qt
    // shares one parsed copy of the file between them, but a QSettings keeps the first error
    // it met for good, so a fresh one is the only way to learn whether this write worked.
    QSettings m_settings;
};
