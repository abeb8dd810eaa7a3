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

    // The folder 0700, made with its missing parents when there is none. False when it cannot
    // be made or changed.
    bool makePrivate() const;

    // The next version of the file is written whole beside it and then renamed over it, so
    // that the file is always either the old or the new one.
    QString stagingPath() const { return m_filePath + QStringLiteral(".next"); }
    // A fresh, empty staging file (0600: Qt's save file takes the mode of the file it
    // replaces) in a private folder.
    bool prepareStaging() const;
    // Renames the staged file over the preferences file and flushes the folder.
    bool replaceFileWithStaging() const;

    // Copies bytes that could not be read as a task list to a new file
    // "unreadable-tasks-<UTC time>.json" (0600) in the folder; an existing file is never
    // replaced. Returns the new file's path, or an empty string and a reason.
    QString keepUnreadableCopy(const QByteArray &bytes, QString *errorMessage = nullptr) const;

    void removeLeftoversOfInterruptedSave() const;

private:
    void syncFolder() const;

    QString m_filePath;
};
