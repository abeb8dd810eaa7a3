#pragma once

#include "model/TaskItem.h"
#include "preferences/FileChangeWatcher.h"
#include "preferences/RecoveryCopies.h"
#include "preferences/SaveError.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <optional>

class Preferences;

// The one owner of the task list. Every change goes through setTasks(), which saves the whole
// list durably and then emits tasksChanged() once. The list on disk may also be changed by
// another program (a sync tool, a restore, a hand edit): the store watches the file, takes
// such a change in as soon as it sees it, and never saves over one it has not taken in.
//
// A save that fails keeps the list in memory as it is shown. The store says why
// (saveProblem()) and saves again by itself, every few seconds and whenever the file or its
// folder changes, until a save succeeds; at quit, what still cannot be stored goes to a
// recovery copy.
class TaskStore : public QObject
{
    Q_OBJECT

public:
    // How often a failed save is tried again while nothing else prompts it.
    static constexpr std::chrono::milliseconds defaultRetryInterval{5000};

    // Loads the stored list at once; a readable list is saved straight back in normal form.
    explicit TaskStore(Preferences &preferences, QObject *parent = nullptr);

    const QList<TaskItem> &tasks() const { return m_tasks; }

    // The single write path. When the file changed since the store last read or wrote it,
    // the new list is merged with the one on disk first (TaskListMerge), and the merged list
    // is what the store then holds and saves.
    void setTasks(QList<TaskItem> tasks);

    // Conveniences over setTasks().
    void append(const TaskItem &task);
    // Removes every record with this id; false (and no write) when there is none.
    bool removeTask(const QUuid &id);
    // Replaces the record with the same id; false (and no write) when it is gone.
    bool replaceTask(const TaskItem &task);

    int indexOf(const QUuid &id) const;

    // One entry per tag in use (compared by sameTag()), spelled as first written, sorted by
    // the current locale's case-insensitive collation (Spanish where the locale has no
    // language); equal entries keep their order.
    QStringList allTags() const;

    // Why the list in memory is not stored; nothing while every change is.
    const std::optional<SaveError> &saveProblem() const { return m_saveProblem; }
    // Whether the stored list could not be read at start, and where its bytes were copied
    // (empty until a copy could be made).
    bool isUnreadableAtStart() const { return m_isUnreadableAtStart; }
    QString unreadableCopy() const { return m_unreadableCopy; }
    // When the file was last written before this store first saved to it; invalid when
    // there was no file.
    const QDateTime &storedTimeAtStart() const { return m_storedTimeAtStart; }
    const RecoveryCopies &recoveryCopies() const { return m_recoveryCopies; }
    void setRetryInterval(std::chrono::milliseconds interval) { m_retry.setInterval(interval); }

    // Takes back a list kept aside (TaskListMerge::restore) and saves it like any change.
    void restore(const QList<TaskItem> &kept);

    // The last chance before the process ends: a list not yet stored is saved once more,
    // waiting longer for another process's save, and failing that is written to a recovery
    // copy. Returns that copy's path; empty when nothing had to be kept aside (or nothing
    // could be written anywhere, which is logged).
    QString saveBeforeQuit();

signals:
    // The list changed: through setTasks(), or because another program changed the file.
    void tasksChanged();
    // saveProblem() changed: a save failed, failed otherwise, or succeeded after failing.
    void saveProblemChanged();

private:
    void load();
    void save();
    void saveAgain();
    void takeInOutsideChange();
    bool takeIn(const QByteArray &document);
    std::optional<SaveError> keepUnreadableDocument();
    void startFromUnreadableList();
    void setSaveProblem(const std::optional<SaveError> &problem);
    void keepLastStored(const QByteArray &document);

    Preferences &m_preferences;
    FileChangeWatcher m_watcher;
    RecoveryCopies m_recoveryCopies;
    QTimer m_retry;
    QList<TaskItem> m_tasks;
    // The list as last read from or written to the file, and the stored bytes it came from:
    // the common ground of a merge, and the way to tell another program's change from ours.
    QList<TaskItem> m_base;
    std::optional<QByteArray> m_knownDocument;
    // A stored list that could not be read and has not been copied aside yet.
    std::optional<QByteArray> m_unreadableDocument;
    bool m_isUnreadableAtStart = false;
    QDateTime m_storedTimeAtStart;
    QString m_unreadableCopy;
    bool m_keepsLastStored = true;
    std::optional<SaveError> m_saveProblem;
    // When the last save was tried: the file and folder changes a failed save makes itself
    // (its temporary file made and removed) must not prompt another one.
    QElapsedTimer m_sinceSave;
};
