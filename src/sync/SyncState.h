#pragma once

#include "preferences/SaveError.h"
#include "sync/VTodo.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// A task as it was when this list and the server last agreed on it: the resource's place
// and version on the server, and the whole VTODO as it was then, so that both the fields
// of that moment and the properties only the server knows outlive a restart.
struct SyncedTask {
    QString uid;
    QUuid localId;
    QString href;
    QString etag;
    VTodo vtodo;
};

// What a sync needs to remember between runs. Never a password: that belongs to the
// system's secret store. Which tasks changed here since is not stored: it is what differs
// between the list and the synced copies; only when they changed is, for conflicts.
struct SyncState {
    QString serverUrl;
    QString userName;
    QString collectionUrl;
    QString syncToken;
    // The SHA-256 fingerprint of a certificate the user chose to trust for this server.
    QString trustedCertificate;
    QList<SyncedTask> tasks;
    // When each task changed here since the last sync (UTC): the later side wins a conflict.
    QHash<QUuid, QDateTime> changedHere;

    // A JSON object with the members version (1), serverUrl, userName, collectionUrl,
    // syncToken, tasks, an array of objects with uid, localId, href, etag and ics, and
    // changedHere, an object from local ids to ISO 8601 times.
    QByteArray toJson() const;
    // Refuses, with the reason in `error`, text that is not such an object, a member of
    // the wrong type, a later version, a local id that is not a UUID, one UID or local id
    // twice, or a VTODO that does not read or whose UID is not the task's. Unknown members
    // are passed over.
    static std::optional<SyncState> fromJson(QByteArrayView json, QString *error = nullptr);

    // $XDG_STATE_HOME/lorvane/sync.json.
    static QString defaultPath();
    // The state at `path`; an empty one when there is no file yet.
    static std::optional<SyncState> load(const QString &path, QString *error = nullptr);
    // Replaces the file whole and durably (0600, in a folder of 0700). Returns why it could
    // not, or nothing.
    std::optional<SaveError> save(const QString &path) const;
};
