#include "model/TaskStore.h"

#include "model/Tags.h"
#include "model/TaskListCodec.h"
#include "model/TaskListMerge.h"
#include "preferences/Preferences.h"

#include <QCollator>
#include <QFileInfo>
#include <QLocale>
#include <QSet>

#include <algorithm>

using namespace std::chrono_literals;

TaskStore::TaskStore(Preferences &preferences, QObject *parent)
    : QObject(parent), m_preferences(preferences), m_watcher(preferences.filePath())
{
    m_retry.setInterval(defaultRetryInterval);
    connect(&m_retry, &QTimer::timeout, this, &TaskStore::saveAgain);
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

    // The current default locale's collation; without a language (C or POSIX, as minimal
    // systems and some session managers set), Spanish, the language of the interface, so
    // that accented tags do not sort after "z".
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::Spanish, QLocale::Spain);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(tags.begin(), tags.end(), [&collator](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
    return tags;
}

void TaskStore::restore(const QList<TaskItem> &kept)
{
    m_keepsLastStored = true;
    setTasks(TaskListMerge::restore(m_tasks, kept));
}

void TaskStore::keepLastStored(const QByteArray &document)
{
    if (m_keepsLastStored)
        m_recoveryCopies.keepLastStored(document);
}

QString TaskStore::saveBeforeQuit()
{
    if (!m_saveProblem)
        return QString();
    m_preferences.setLockPatience(2s);
    save();
    if (!m_saveProblem)
        return QString();
    SaveError error;
    const QString copy = m_recoveryCopies.keepUnsaved(TaskListCodec::encode(m_tasks), &error);
    if (copy.isEmpty()) {
        qWarning("Lorvane: the task list could not be saved (%s) nor kept aside (%s); the "
                 "changes made since the last save are lost.",
                 qUtf8Printable(m_saveProblem->toString()), qUtf8Printable(error.toString()));
    } else {
        qWarning("Lorvane: the task list could not be saved (%s); it was written to %s, and "
                 "Lorvane offers it at the next start.",
                 qUtf8Printable(m_saveProblem->toString()), qUtf8Printable(copy));
    }
    return copy;
}

void TaskStore::load()
{
    if (const QFileInfo file(m_preferences.filePath()); file.exists())
        m_storedTimeAtStart = file.lastModified();
    m_knownDocument = m_preferences.tasksDocument();
    if (!m_knownDocument)
        return;
    if (takeIn(*m_knownDocument))
        setTasks(m_tasks);
    else
        startFromUnreadableList();
}

void TaskStore::startFromUnreadableList()
{
    m_isUnreadableAtStart = true;
    // The last list stored readable is what the user may want back: it is not replaced
    // until a restore or the next start.
    m_keepsLastStored = false;
    keepUnreadableDocument();
}

void TaskStore::takeInOutsideChange()
{
    const std::optional<QByteArray> document = m_preferences.tasksDocument();
    // The store's own write, a change of another preference, or a file that went away (the
    // list in memory is written back with the next change): nothing to take in.
    if (document && document != m_knownDocument) {
        if (takeIn(*document)) {
            keepLastStored(*document);
            emit tasksChanged();
        } else {
            keepUnreadableDocument();
        }
    }
    // The folder made writable again, or room made in it, is what a failed save waits for.
    if (m_sinceSave.isValid() && m_sinceSave.elapsed() > 500)
        saveAgain();
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

std::optional<SaveError> TaskStore::keepUnreadableDocument()
{
    if (!m_unreadableDocument)
        return std::nullopt;
    SaveError error;
    const QString copy = m_preferences.folder().keepUnreadableCopy(*m_unreadableDocument, &error);
    if (copy.isEmpty()) {
        qWarning("Lorvane: the stored task list could not be read and no copy of it could be "
                 "made (%s); it stays in %s and no change is saved until a copy is made.",
                 qUtf8Printable(error.toString()), qUtf8Printable(m_preferences.filePath()));
        return error;
    }
    qWarning("Lorvane: the stored task list could not be read and was left out; its exact "
             "bytes were copied to %s.",
             qUtf8Printable(copy));
    m_unreadableDocument.reset();
    m_unreadableCopy = copy;
    return std::nullopt;
}

void TaskStore::save()
{
    std::optional<SaveError> refusal;
    QByteArray document;
    m_sinceSave.start();
    const bool isWritten =
        m_preferences.updateTasksDocument([&](const std::optional<QByteArray> &stored) {
            if (stored && stored != m_knownDocument)
                takeIn(*stored);
            // An unreadable list that has not been copied aside yet must not be overwritten.
            refusal = keepUnreadableDocument();
            document = TaskListCodec::encode(m_tasks);
            return refusal ? std::nullopt : std::optional<QByteArray>(document);
        });
    if (!isWritten) {
        setSaveProblem(refusal ? refusal : m_preferences.lastError());
        return;
    }
    m_base = m_tasks;
    m_knownDocument = document;
    m_watcher.watch();
    keepLastStored(document);
    setSaveProblem(std::nullopt);
}

void TaskStore::saveAgain()
{
    if (!m_saveProblem)
        return;
    const QList<TaskItem> before = m_tasks;
    save();
    // The file may have held another program's change, now merged in.
    if (m_tasks != before)
        emit tasksChanged();
}

void TaskStore::setSaveProblem(const std::optional<SaveError> &problem)
{
    const bool isNews = problem.has_value() != m_saveProblem.has_value() ||
                        (problem && problem->reason() != m_saveProblem->reason());
    if (problem && isNews) {
        qWarning("Lorvane: the task list could not be saved (%s); it is kept in memory and "
                 "saved as soon as that can be done.",
                 qUtf8Printable(problem->toString()));
    }
    m_saveProblem = problem;
    if (!problem)
        m_retry.stop();
    else if (!m_retry.isActive())
        m_retry.start();
    if (isNews)
        emit saveProblemChanged();
}
