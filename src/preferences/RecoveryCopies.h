#pragma once

#include "preferences/SaveError.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// Copies of the task list kept apart from the preferences file, in Lorvane's state folder
// ($XDG_STATE_HOME/lorvane, by default ~/.local/state/lorvane), for when that file is lost or
// cannot be written: the last list the file held in a readable form, and the list that could
// not be stored when Lorvane last quit. Both hold the list's stored JSON document, 0600.
class RecoveryCopies
{
public:
    // The folders as the environment gives them now.
    RecoveryCopies();

    QString folder() const { return m_stateFolder; }

    // Written after every save, without waiting for the disk: a crash can only cost the
    // copy, never the file it copies. A failure is passed over for the same reason.
    void keepLastStored(const QByteArray &document) const;
    std::optional<QByteArray> lastStored() const;

    // The list that could not be stored, in the state folder or, where that cannot be
    // written either, in the runtime folder. Returns the copy's path, or an empty string and
    // why.
    QString keepUnsaved(const QByteArray &document, SaveError *error = nullptr) const;

    struct Copy {
        QString path;
        QByteArray document;
        QDateTime written;
    };
    // The newer of the two places' copies.
    std::optional<Copy> unsaved() const;
    void removeUnsaved() const;

private:
    QStringList unsavedPaths() const;

    QString m_stateFolder;
    QString m_runtimeFolder;
};
