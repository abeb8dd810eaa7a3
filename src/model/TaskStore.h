#pragma once

#include "model/TaskItem.h"
#include "platform/FileChangeWatcher.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

class Preferences;

// The one owner of the task list. Every change goes through setTasks(), which saves the whole
// list durably and then emits tasksChanged() once. The list on disk may also be changed by
// another program (a sync tool, a restore, a hand edit): the store watches the file, takes
// such a change in as soon as it sees it, and never saves over one it has not taken in.
class TaskStore : public QObject
{
    Q_OBJECT

public:
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

    // One entry per tag in use (compared lower-cased), spelled as first written, sorted by
    // the current locale's case-insensitive collation; equal entries keep their order.
    QStringList allTags() const;

signals:
    // The list changed: through setTasks(), or because another program changed the file.
    void tasksChanged();

private:
    void load();
    void save();
    void takeInOutsideChange();
    bool takeIn(const QByteArray &document);
    bool keepUnreadableDocument();

    Preferences &m_preferences;
    FileChangeWatcher m_watcher;
    QList<TaskItem> m_tasks;
    // The list as last read from or written to the file, and the stored bytes it came from:
    // the common ground of a merge, and the way to tell another program's change from ours.
    QList<TaskItem> m_base;
    std::optional<QByteArray> m_knownDocument;
    // A stored list that could not be read and has not been copied aside yet.
    std::optional<QByteArray> m_unreadableDocument;
};
