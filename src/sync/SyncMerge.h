#pragma once

#include "model/TaskItem.h"
#include "sync/SyncState.h"
#include "sync/TaskFields.h"
#include "sync/VTodo.h"

#include <QDateTime>
#include <QList>

#include <optional>

// The task list and the server's to-dos brought together, three ways: each side against
// the copy both last agreed on. Pure: what to send the server is returned, not sent.
namespace SyncMerge {

// One side's version of a task, and when that side last changed it. Unknown times (invalid)
// lose to known ones.
struct Version {
    SyncedFields fields;
    QDateTime changedAt;
};

struct TaskMerge {
    SyncedFields merged;
    // When both sides changed the text, the text that lost, with the done and priority of
    // the side it came from: kept as a task of its own, so nothing written is lost.
    std::optional<SyncedFields> lostText;
};

// Field by field: a field changed on one side only takes that side's value; changed on both
// to different values, it takes the later side's (this side's on a tie). Without a base
// (both sides made the task) every field in which they differ counts as changed on both.
TaskMerge mergeTask(const std::optional<SyncedFields> &base, const Version &local,
                    const Version &remote);

struct LocalTask {
    TaskItem task;
    QDateTime changedAt;
};

// A resource as the server holds it now.
struct RemoteTask {
    QString href;
    QString etag;
    VTodo vtodo;
};

struct Result {
    // The new list: this side's order, each text that lost a conflict right after its task,
    // then the tasks new on the server in the server's order.
    QList<TaskItem> tasks;
    // What to write to the server. The href and etag (for If-Match) are those of the copy
    // it replaces; both are empty for a new resource, which the caller names.
    QList<SyncedTask> uploads;
    // Resources to delete (with If-Match), deleted here since the last sync.
    QList<SyncedTask> deletes;
    // The tasks that now agree with the server as it is, needing no write: their new base.
    QList<SyncedTask> synced;
};

// `local` is the list with the time of each task's last change here, `base` the copies of
// the last sync, `remote` every resource of the collection in the server's order. A task
// deleted on one side stays deleted, also when the other side changed it. `now` stamps
// what is written.
Result merge(const QList<LocalTask> &local, const QList<SyncedTask> &base,
             const QList<RemoteTask> &remote, const QDateTime &now);

} // namespace SyncMerge
