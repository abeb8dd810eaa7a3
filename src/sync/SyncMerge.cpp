#include "sync/SyncMerge.h"

#include "model/Tags.h"

#include <QHash>
#include <QSet>

namespace {

// Whether this side's change counts as the later one: an unknown time loses to a known one,
// a tie goes to this side.
bool localIsLater(const QDateTime &local, const QDateTime &remote)
{
    if (!remote.isValid())
        return true;
    if (!local.isValid())
        return false;
    return local >= remote;
}

struct Choice {
    bool takeLocal;
    bool conflict;
};

template <typename T, typename Same>
Choice choose(const T *base, const T &local, const T &remote, Same same, bool localLater)
{
    if (same(local, remote))
        return {true, false};
    const bool localChanged = !base || !same(*base, local);
    const bool remoteChanged = !base || !same(*base, remote);
    if (localChanged != remoteChanged)
        return {localChanged, false};
    return {localLater, true};
}

TaskItem taskWith(const SyncedFields &fields, const QUuid &id)
{
    TaskItem task(fields.text);
    task.id = id;
    task.isDone = fields.isDone;
    task.isPriority = fields.isPriority;
    return task;
}

} // namespace

namespace SyncMerge {

TaskMerge mergeTask(const std::optional<SyncedFields> &base, const Version &local,
                    const Version &remote)
{
    const bool localLater = localIsLater(local.changedAt, remote.changedAt);
    const auto equal = [](bool a, bool b) { return a == b; };
    const SyncedFields *b = base ? &*base : nullptr;

    TaskMerge result;
    const Choice text = choose(b ? &b->text : nullptr, local.fields.text, remote.fields.text,
                               TaskFields::sameText, localLater);
    const Choice done = choose(b ? &b->isDone : nullptr, local.fields.isDone, remote.fields.isDone,
                               equal, localLater);
    const Choice priority = choose(b ? &b->isPriority : nullptr, local.fields.isPriority,
                                   remote.fields.isPriority, equal, localLater);
    result.merged.text = text.takeLocal ? local.fields.text : remote.fields.text;
    result.merged.isDone = done.takeLocal ? local.fields.isDone : remote.fields.isDone;
    result.merged.isPriority =
        priority.takeLocal ? local.fields.isPriority : remote.fields.isPriority;
    if (text.conflict) {
        const SyncedFields &loser = text.takeLocal ? remote.fields : local.fields;
        if (!trimmedSpacesAndTabs(loser.text).isEmpty())
            result.lostText = loser;
    }
    return result;
}

Result merge(const QList<LocalTask> &local, const QList<SyncedTask> &base,
             const QList<RemoteTask> &remote, const QDateTime &now)
{
    QHash<QUuid, const SyncedTask *> baseByLocalId;
    for (const SyncedTask &task : base)
        baseByLocalId.insert(task.localId, &task);
    QHash<QString, const RemoteTask *> remoteByUid;
    for (const RemoteTask &task : remote) {
        const QString uid = task.vtodo.uid();
        if (!remoteByUid.contains(uid)) // one UID twice on a server: the first counts
            remoteByUid.insert(uid, &task);
    }

    Result result;
    QSet<QString> handledUids;
    QSet<QUuid> usedIds;
    const auto addNewHere = [&](TaskItem task) {
        const QString uid = TaskFields::uidFor(task.id);
        handledUids.insert(uid);
        usedIds.insert(task.id);
        result.uploads.append({uid, task.id, {}, {}, TaskFields::newVTodo(task, now)});
        result.tasks.append(std::move(task));
    };

    for (const LocalTask &entry : local) {
        TaskItem task = entry.task;
        const SyncedTask *synced = baseByLocalId.value(task.id);
        QString uid = synced ? synced->uid : TaskFields::uidFor(task.id);
        // A second task of one id (a hand-edited file may hold one) is a task of its own.
        if (usedIds.contains(task.id) || handledUids.contains(uid)) {
            task.id = QUuid::createUuid();
            addNewHere(std::move(task));
            continue;
        }
        usedIds.insert(task.id);
        handledUids.insert(uid);
        const RemoteTask *current = remoteByUid.value(uid);
        if (!current) {
            if (!synced) // new here; otherwise deleted on the server
                addNewHere(std::move(task));
            continue;
        }

        std::optional<SyncedFields> baseFields;
        if (synced)
            baseFields = TaskFields::fromVTodo(synced->vtodo);
        const TaskMerge merged =
            mergeTask(baseFields, {TaskFields::fromTask(task), entry.changedAt},
                      {TaskFields::fromVTodo(current->vtodo), current->vtodo.lastModified()});
        if (merged.merged.text != task.text) {
            task.text = merged.merged.text;
            task.tags = extractTags(task.text);
        }
        task.isDone = merged.merged.isDone;
        task.isPriority = merged.merged.isPriority;
        VTodo written = current->vtodo;
        if (TaskFields::apply(written, merged.merged, now))
            result.uploads.append({uid, task.id, current->href, current->etag, written});
        else
            result.synced.append({uid, task.id, current->href, current->etag, current->vtodo});
        result.tasks.append(std::move(task));
        if (merged.lostText)
            addNewHere(taskWith(*merged.lostText, QUuid::createUuid()));
    }

    for (const SyncedTask &synced : base) {
        if (handledUids.contains(synced.uid))
            continue;
        handledUids.insert(synced.uid);
        if (const RemoteTask *current = remoteByUid.value(synced.uid)) {
            result.deletes.append(
                {synced.uid, synced.localId, current->href, current->etag, current->vtodo});
        }
    }

    for (const RemoteTask &current : remote) {
        const QString uid = current.vtodo.uid();
        if (handledUids.contains(uid))
            continue;
        handledUids.insert(uid);
        QUuid id = TaskFields::localIdFor(uid, [](const QString &) { return std::nullopt; });
        if (usedIds.contains(id))
            id = QUuid::createUuid();
        usedIds.insert(id);
        result.tasks.append(taskWith(TaskFields::fromVTodo(current.vtodo), id));
        result.synced.append({uid, id, current.href, current.etag, current.vtodo});
    }
    return result;
}

} // namespace SyncMerge
