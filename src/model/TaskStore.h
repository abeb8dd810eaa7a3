#pragma once

#include "model/TaskItem.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

class Preferences;

// The one owner of the task list. Every change goes through setTasks(), which stores the
// new list, saves the whole document durably and then emits tasksChanged() once.
class TaskStore : public QObject
{
    Q_OBJECT

public:
    // Loads the stored list at once; a readable list is saved straight back in normal form.
    explicit TaskStore(Preferences &preferences, QObject *parent = nullptr);

    const QList<TaskItem> &tasks() const { return m_tasks; }

    // The single write path.
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
    void tasksChanged();

private:
    void load();
    void save();
    bool keepUnreadableDocument();

    Preferences &m_preferences;
    QList<TaskItem> m_tasks;
    // A stored list that could not be read and has not been copied aside yet.
    std::optional<QByteArray> m_unreadableDocument;
};
