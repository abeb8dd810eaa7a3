#include "model/TaskStore.h"

#include "model/Tags.h"
#include "model/TaskListCodec.h"
#include "model/TaskListMerge.h"
#include "platform/Preferences.h"

#include <QCollator>
#include <QSet>

#include <algorithm>

TaskStore::TaskStore(Preferences &preferences, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_watcher(preferences.filePath())
{
    connect(&m_watcher, &FileChangeWatcher::changed, this, &TaskStore::takeInOutsideChange);
    load();
}

void TaskStore::setTasks(QList<TaskItem> tasks)
{
    m_tasks = std::move(tasks);
    save();
    emit tasksChanged();
}

void TaskStore::append(const TaskItem &task)
{
    QList<TaskItem> tasks = m_tasks;
    tasks.append(task);
    setTasks(std::move(tasks));
}

bool TaskStore::removeTask(const QUuid &id)
{
    if (indexOf(id) < 0)
        return false;
    QList<TaskItem> tasks = m_tasks;
    tasks.removeIf([&id](const TaskItem &task) { return task.id == id; });
    setTasks(std::move(tasks));
    return true;
}

bool TaskStore::replaceTask(const TaskItem &task)
{
    const int index = indexOf(task.id);
    if (index < 0)
        return false;
    QList<TaskItem> tasks = m_tasks;
    tasks[index] = task;
    setTasks(std::move(tasks));
    return true;
}

int TaskStore::indexOf(const QUuid &id) const
{
    for (qsizetype i = 0; i < m_tasks.size(); ++i) {
        if (m_tasks.at(i).id == id)
            return int(i);
    }
    return -1;
}

QStringList TaskStore::allTags() const
{
    QStringList tags;
    QSet<QString> seen;
    for (const TaskItem &task : m_tasks) {
        for (const QString &tag : task.tags) {
            const QString key = tagKey(tag);
            if (seen.contains(key))
                continue;
            seen.insert(key);
            tags.append(tag);
        }
    }

    // QCollator() follows QLocale(), the current default locale.
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(tags.begin(), tags.end(), [&collator](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
    return tags;
}

void TaskStore::load()
{
    m_knownDocument = m_preferences.tasksDocument();
    if (!m_knownDocument)
        return;
    if (takeIn(*m_knownDocument))
        setTasks(m_tasks);
    else
        keepUnreadableDocument();
}

void TaskStore::takeInOutsideChange()
{
    const std::optional<QByteArray> document = m_preferences.tasksDocument();
    // The store's own write, a change of another preference, or a file that went away (the
    // list in memory is written back with the next change): nothing to take in.
    if (!document || document == m_knownDocument)
        return;
    if (takeIn(*document))
        emit tasksChanged();
    else
        keepUnreadableDocument();
}

// Takes in a stored list through the same strict reading as at start, merged with the list
// in memory. An unreadable one leaves the list as it is, to be copied aside before anything
// is written over it.
bool TaskStore::takeIn(const QByteArray &document)
{
    m_knownDocument = document;
    std::optional<QList<TaskItem>> theirs = TaskListCodec::decode(document);
    if (!theirs) {
        m_unreadableDocument = document;
        return false;
    }
    m_tasks = TaskListMerge::merge(m_base, m_tasks, *theirs);
    m_base = std::move(*theirs);
    return true;
}

bool TaskStore::keepUnreadableDocument()
{
    if (!m_unreadableDocument)
        return true;
    QString reason;
    const QString copy = m_preferences.folder().keepUnreadableCopy(*m_unreadableDocument, &reason);
    if (copy.isEmpty()) {
        qWarning("Lorvane: the stored task list could not be read and no copy of it could be "
                 "made (%s); it stays in %s and no change is saved until a copy is made.",
                 qUtf8Printable(reason), qUtf8Printable(m_preferences.filePath()));
        return false;
    }
    qWarning("Lorvane: the stored task list could not be read and was left out; its exact "
             "bytes were copied to %s.",
             qUtf8Printable(copy));
    m_unreadableDocument.reset();
    return true;
}

void TaskStore::save()
{
    bool isRefused = false;
    QByteArray document;
    const bool isWritten =
        m_preferences.updateTasksDocument([&](const std::optional<QByteArray> &stored) {
            if (stored && stored != m_knownDocument)
                takeIn(*stored);
            // An unreadable list that has not been copied aside yet must not be overwritten.
            isRefused = m_unreadableDocument && !keepUnreadableDocument();
            document = TaskListCodec::encode(m_tasks);
            return isRefused ? std::nullopt : std::optional<QByteArray>(document);
        });
    if (isWritten) {
        m_base = m_tasks;
        m_knownDocument = document;
        m_watcher.watch();
    } else if (!isRefused) {
        qWarning("Lorvane: the task list could not be saved to %s; the change is kept in "
                 "memory and the whole list is saved again with the next change.",
                 qUtf8Printable(m_preferences.filePath()));
    }
}
