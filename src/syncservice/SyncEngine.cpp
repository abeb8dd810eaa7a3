#include "syncservice/SyncEngine.h"

#include "caldav/CalDavClient.h"
#include "model/TaskStore.h"
#include "sync/TaskFields.h"

#include <QSet>

#include <utility>

namespace {

// Hrefs are compared as the server's paths: one server may answer with whole URLs where
// another gives paths.
QString pathOf(const QUrl &url)
{
    return url.path(QUrl::FullyEncoded);
}

QString pathOf(const QString &href)
{
    return pathOf(QUrl(href));
}

} // namespace

SyncEngine::SyncEngine(TaskStore &store, CalDavClient &client, SyncState state, QString statePath,
                       QObject *parent)
    : QObject(parent), m_store(store), m_client(client), m_state(std::move(state)),
      m_statePath(std::move(statePath))
{
    for (const TaskItem &task : m_store.tasks())
        m_seen.insert(task.id, TaskFields::fromTask(task));
    connect(&m_store, &TaskStore::tasksChanged, this, &SyncEngine::noteLocalChanges);
}

void SyncEngine::noteLocalChanges()
{
    QHash<QUuid, SyncedFields> seen;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    bool changed = false;
    for (const TaskItem &task : m_store.tasks()) {
        const SyncedFields fields = TaskFields::fromTask(task);
        const auto before = m_seen.constFind(task.id);
        if (!m_publishing && (before == m_seen.cend() || *before != fields)) {
            m_state.changedHere.insert(task.id, now);
            changed = true;
        }
        seen.insert(task.id, fields);
    }
    changed = changed || (!m_publishing && seen.size() < m_seen.size());
    m_seen = std::move(seen);
    if (changed) {
        // Saved at once: a change made offline keeps its time across a restart.
        m_state.save(m_statePath);
        emit localChangeMade();
    }
}

void SyncEngine::setTrustedCertificate(const QString &fingerprint)
{
    m_state.trustedCertificate = fingerprint;
    m_state.save(m_statePath);
}

int SyncEngine::pendingChanges() const
{
    QHash<QUuid, const SyncedTask *> base;
    for (const SyncedTask &synced : m_state.tasks)
        base.insert(synced.localId, &synced);
    int pending = 0;
    for (const TaskItem &task : m_store.tasks()) {
        const SyncedTask *synced = base.take(task.id);
        if (!synced || TaskFields::fromVTodo(synced->vtodo) != TaskFields::fromTask(task))
            ++pending;
    }
    return pending + int(base.size());
}

void SyncEngine::syncNow()
{
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_again = false;
    m_run = {};
    emit syncStarted();
    m_client.listChanges(QUrl(m_state.collectionUrl), m_state.syncToken,
                         [this](const Changes &changes) { takeChanges(changes); });
}

void SyncEngine::takeChanges(const Changes &changes)
{
    if (!changes.error.isOk()) {
        finish(changes.error);
        return;
    }
    m_run.syncToken = changes.syncToken;
    m_run.complete = !changes.isTruncated;

    QHash<QString, QByteArray> knownEtags;
    for (const SyncedTask &synced : m_state.tasks)
        knownEtags.insert(pathOf(synced.href), synced.etag.toUtf8());
    QList<QUrl> toFetch;
    for (const RemoteItem &item : changes.changed) {
        const auto known = knownEtags.constFind(pathOf(item.url));
        if (known == knownEtags.cend() || known->isEmpty() || *known != item.etag)
            toFetch.append(item.url);
    }
    if (toFetch.isEmpty()) {
        takeFetched(changes, {});
        return;
    }
    m_client.fetch(QUrl(m_state.collectionUrl), toFetch,
                   [this, changes](const Fetched &fetched) { takeFetched(changes, fetched); });
}

void SyncEngine::takeFetched(const Changes &changes, const Fetched &fetched)
{
    if (!fetched.error.isOk()) {
        finish(fetched.error);
        return;
    }
    // Every resource is read before anything here changes: one the server garbled refuses
    // the whole run.
    QList<SyncMerge::RemoteTask> read;
    QHash<QString, qsizetype> readAt;
    for (const RemoteItem &item : fetched.items) {
        QString error;
        std::optional<VTodo> vtodo = VTodo::parse(item.data, &error);
        if (!vtodo) {
            finish(SyncError::badResponse());
            return;
        }
        readAt.insert(pathOf(item.url), read.size());
        read.append({item.url.toString(), QString::fromUtf8(item.etag), std::move(*vtodo)});
    }

    QSet<QString> gone;
    for (const QUrl &url : changes.deleted)
        gone.insert(pathOf(url));
    for (const QUrl &url : fetched.missing)
        gone.insert(pathOf(url));
    QSet<QString> listed;
    for (const RemoteItem &item : changes.changed)
        listed.insert(pathOf(item.url));

    // The server as it is now: the synced copies it still holds, as changed since, in their
    // order; then what is new there, in the server's order.
    QList<SyncMerge::RemoteTask> remote;
    QSet<QString> placed;
    for (const SyncedTask &synced : std::as_const(m_state.tasks)) {
        const QString path = pathOf(synced.href);
        if (gone.contains(path) || (changes.isFullListing && !listed.contains(path)))
            continue;
        placed.insert(path);
        if (const auto fresh = readAt.constFind(path); fresh != readAt.cend())
            remote.append(read.at(*fresh));
        else
            remote.append({synced.href, synced.etag, synced.vtodo});
    }
    for (const RemoteItem &item : changes.changed) {
        const QString path = pathOf(item.url);
        if (!placed.contains(path) && readAt.contains(path)) {
            placed.insert(path);
            remote.append(read.at(readAt.value(path)));
        }
    }
    m_run.remote = std::move(remote);
    mergeAndWrite();
}

QList<SyncMerge::LocalTask> SyncEngine::localTasks() const
{
    QList<SyncMerge::LocalTask> local;
    for (const TaskItem &task : m_store.tasks())
        local.append({task, m_state.changedHere.value(task.id)});
    return local;
}

void SyncEngine::publish(const QList<TaskItem> &tasks)
{
    if (tasks == m_store.tasks())
        return;
    m_publishing = true;
    m_store.setTasks(tasks);
    m_publishing = false;
}

void SyncEngine::mergeAndWrite()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    SyncMerge::Result result = SyncMerge::merge(localTasks(), m_state.tasks, m_run.remote, now);
    publish(result.tasks);
    m_run.newBase = std::move(result.synced);
    m_run.uploads = std::move(result.uploads);
    m_run.deletes = std::move(result.deletes);
    writeNext();
}

void SyncEngine::writeNext()
{
    const QUrl collection(m_state.collectionUrl);
    if (!m_run.uploads.isEmpty()) {
        SyncedTask task = m_run.uploads.takeFirst();
        const QUrl url = task.href.isEmpty()
                             ? collection.resolved(QUrl(task.uid + QStringLiteral(".ics")))
                             : QUrl(task.href);
        const QByteArray ics = task.vtodo.serialize();
        const QByteArray ifMatch = task.etag.toUtf8(); // before the task moves into the callback
        m_client.put(url, ics, ifMatch,
                     [this, task = std::move(task)](const Written &written) mutable {
                         if (written.error.kind == SyncError::Kind::Conflict) {
                             // Changed on the server meanwhile: the next run merges it.
                             keepBaseOf(task.uid);
                         } else if (!written.error.isOk()) {
                             finish(written.error);
                             return;
                         } else {
                             task.href = written.url.toString();
                             task.etag = QString::fromUtf8(written.etag);
                             m_run.newBase.append(std::move(task));
                         }
                         writeNext();
                     });
        return;
    }
    if (!m_run.deletes.isEmpty()) {
        const SyncedTask task = m_run.deletes.takeFirst();
        m_client.remove(QUrl(task.href), task.etag.toUtf8(), [this, task](const SyncError &error) {
            if (error.kind == SyncError::Kind::Conflict) {
                m_run.complete = false;
                m_again = true;
                m_run.newBase.append(task);
            } else if (!error.isOk()) {
                finish(error);
                return;
            }
            writeNext();
        });
        return;
    }
    finish({});
}

void SyncEngine::keepBaseOf(const QString &uid)
{
    for (const SyncedTask &old : std::as_const(m_state.tasks))
        if (old.uid == uid)
            m_run.newBase.append(old);
    // The token stays, so the next run lists the server's new version again.
    m_run.complete = false;
    m_again = true;
}

void SyncEngine::finish(const SyncError &error)
{
    if (error.isOk() || !m_run.newBase.isEmpty()) {
        // What was written or agreed on becomes the new base; the copies of tasks not
        // reached stay as they were, so their changes are tried again.
        QSet<QString> done;
        for (const SyncedTask &task : std::as_const(m_run.newBase))
            done.insert(task.uid);
        QList<SyncedTask> base = m_run.newBase;
        if (!error.isOk()) {
            for (const SyncedTask &old : std::as_const(m_state.tasks))
                if (!done.contains(old.uid))
                    base.append(old);
        }
        m_state.tasks = std::move(base);
        // The token moves on only when the run took in and wrote back everything; else the
        // next run lists the same changes again, and skips what it already has.
        if (error.isOk() && m_run.complete)
            m_state.syncToken = m_run.syncToken;
    }
    // A change's time is kept until the server has the change.
    QHash<QUuid, SyncedFields> synced;
    for (const SyncedTask &task : std::as_const(m_state.tasks))
        synced.insert(task.localId, TaskFields::fromVTodo(task.vtodo));
    for (auto it = m_state.changedHere.begin(); it != m_state.changedHere.end();) {
        const int index = m_store.indexOf(it.key());
        const auto base = synced.constFind(it.key());
        const bool agrees =
            index < 0
                ? base == synced.cend()
                : base != synced.cend() && *base == TaskFields::fromTask(m_store.tasks().at(index));
        it = agrees ? m_state.changedHere.erase(it) : std::next(it);
    }
    m_state.save(m_statePath);
    m_lastError = error;
    if (error.isOk())
        m_lastSuccess = QDateTime::currentDateTimeUtc();
    m_running = false;
    m_run = {};
    emit syncFinished(error);
    if (m_again && error.isOk())
        syncNow();
}
