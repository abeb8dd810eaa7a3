#pragma once

#include <QByteArray>
#include <QString>

// The folder that holds the preferences file, and the care it needs: private to the user
// (0700, files 0600), copies of stored lists that could not be read, and the leftovers a save
// interrupted by a kill leaves behind. Reading and writing the settings is not its job.
class PreferencesFolder
{
public:
    explicit PreferencesFolder(const QString &filePath);

    QString filePath() const { return m_filePath; }
    QString path() const;

    // The folder 0700 (made with its missing parents) and the file 0600 (made empty when
    // missing), before anything is written: Qt's temporary file takes the mode of the file it
    // replaces. False when the folder cannot be made or changed.
    bool makePrivate() const;

    // A rename is only durable once the folder that holds the name is on disk.
    void sync() const;

    // Copies bytes that could not be read as a task list to a new file
    // "unreadable-tasks-<UTC time>.json" (0600) in the folder; an existing file is never
    // replaced. Returns the new file's path, or an empty string and a reason.
    QString keepUnreadableCopy(const QByteArray &bytes, QString *errorMessage = nullptr) const;

    void removeLeftoversOfInterruptedSave() const;

private:
    QString m_filePath;
};
