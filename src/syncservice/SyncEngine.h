#pragma once

#include "caldav/SyncError.h"
#include "sync/SyncMerge.h"
#include "sync/SyncState.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QUuid>

class CalDavClient;
class TaskStore;
struct Changes;
struct Fetched;

// One collection kept in step with the task list: each sync lists what changed on the
// server, fetches it, merges it with the list three ways (SyncMerge), publishes the result
// through the store like any change, then writes back what changed here, each write guarded
// by the ETag it replaces. The state of the last sync is saved after every run, so a queued
// change outlives a restart and a run cut short leaves nothing lost or doubled: what was
// written before the cut is matched by its UID the next time.
class SyncEngine : public QObject
{
    Q_OBJECT

public:
    SyncEngine(TaskStore &store, CalDavClient &client, SyncState state, QString statePath,
               QObject *parent = nullptr);

    // Starts a sync now, or right after the one under way.
    void syncNow();
    bool isSyncing() const { return m_running; }

    const SyncState &state() const { return m_state; }
    // Kept with the state: the certificate the user chose to trust for this server.
    void setTrustedCertificate(const QString &fingerprint);
    // How the last run ended; None after a run that did everything.
    const SyncError &lastError() const { return m_lastError; }
    // When a run last ended without an error; invalid before the first.
    const QDateTime &lastSuccess() const { return m_lastSuccess; }
    // Changes made here that the server does not have yet: tasks added, changed or deleted.
    int pendingChanges() const;

signals:
    void syncStarted();
    void syncFinished(const SyncError &error);
    // A local change the server does not have yet was made (a reason to sync soon).
    void localChangeMade();

private:
    struct Run {
        QString syncToken;
        QList<SyncMerge::RemoteTask> remote;
        QList<SyncedTask> newBase;
        QList<SyncedTask> uploads;
        QList<SyncedTask> deletes;
        bool complete = true;
    };

    void noteLocalChanges();
    void takeChanges(const Changes &changes);
    void takeFetched(const Changes &changes, const Fetched &fetched);
    void mergeAndWrite();
    void writeNext();
    void keepBaseOf(const QString &uid);
    void finish(const SyncError &error);
    QList<SyncMerge::LocalTask> localTasks() const;
    void publish(const QList<TaskItem> &tasks);

    TaskStore &m_store;
    CalDavClient &m_client;
    SyncState m_state;
    QString m_statePath;
    Run m_run;
    bool m_running = false;
    bool m_again = false;
    bool m_publishing = false;
    SyncError m_lastError;
    QDateTime m_lastSuccess;
    // The synced fields of each task as last seen, to tell a change made here, and when it
    // was made: the side of a conflict that changed last wins it.
    QHash<QUuid, SyncedFields> m_seen;
};
