#include "views/TaskHistory.h"

#include "model/TaskStore.h"

#include <QUndoCommand>

namespace {

// A task entering or leaving the list. It enters after the last of the tasks that preceded
// it (when it was added or removed) that is still in the list, or first when none is.
class PresenceStep : public QUndoCommand
{
public:
    PresenceStep(TaskHistory &history, TaskStore &store, const TaskItem &task,
                 QList<QUuid> predecessors, bool entersOnRedo)
        : m_history(history), m_store(store), m_task(task), m_predecessors(std::move(predecessors)),
          m_entersOnRedo(entersOnRedo)
    {
    }

    void redo() override { setPresent(m_entersOnRedo); }
    void undo() override { setPresent(!m_entersOnRedo); }
    const QUuid &taskId() const { return m_task.id; }
    bool entersOnRedo() const { return m_entersOnRedo; }
    // The opposite step, for the same task at the same place.
    PresenceStep *reversed() const
    {
        return new PresenceStep(m_history, m_store, m_task, m_predecessors, !m_entersOnRedo);
    }

private:
    void setPresent(bool present)
    {
        if (!present) {
            // What comes back is the task as it was when it left, edits since included.
            const int index = m_store.indexOf(m_task.id);
            if (index < 0)
                return;
            m_task = m_store.tasks().at(index);
            m_store.removeTask(m_task.id);
            // An addition taken back is no deletion to offer back.
            if (!m_entersOnRedo)
                emit m_history.removed(m_task.id);
            return;
        }
        if (m_store.indexOf(m_task.id) >= 0)
            return;
        QList<TaskItem> tasks = m_store.tasks();
        qsizetype place = 0;
        for (auto it = m_predecessors.crbegin(); it != m_predecessors.crend(); ++it) {
            const int index = m_store.indexOf(*it);
            if (index >= 0) {
                place = index + 1;
                break;
            }
        }
        tasks.insert(place, m_task);
        m_store.setTasks(std::move(tasks));
        emit m_history.restored(m_task.id);
    }

    TaskHistory &m_history;
    TaskStore &m_store;
    TaskItem m_task;
    QList<QUuid> m_predecessors;
    bool m_entersOnRedo;
};

// A change of a task's text (with its tags), done mark or priority flag. Undo and redo set
// only the fields the change touched, on the record as it is now.
class ChangeStep : public QUndoCommand
{
public:
    ChangeStep(TaskStore &store, TaskItem before, TaskItem after)
        : m_store(store), m_before(std::move(before)), m_after(std::move(after))
    {
    }

    void redo() override { apply(m_before, m_after); }
    void undo() override { apply(m_after, m_before); }

private:
    void apply(const TaskItem &from, const TaskItem &to)
    {
        const int index = m_store.indexOf(to.id);
        if (index < 0)
            return;
        TaskItem task = m_store.tasks().at(index);
        if (from.text != to.text || from.tags != to.tags) {
            task.text = to.text;
            task.tags = to.tags;
        }
        if (from.isDone != to.isDone)
            task.isDone = to.isDone;
        if (from.isPriority != to.isPriority)
            task.isPriority = to.isPriority;
        m_store.replaceTask(task);
    }

    TaskStore &m_store;
    TaskItem m_before;
    TaskItem m_after;
};

QList<QUuid> idsBefore(const QList<TaskItem> &tasks, qsizetype end)
{
    QList<QUuid> ids;
    ids.reserve(end);
    for (qsizetype i = 0; i < end; ++i)
        ids.append(tasks.at(i).id);
    return ids;
}

} // namespace

TaskHistory::TaskHistory(TaskStore &store, QObject *parent) : QObject(parent), m_store(store)
{
    m_stack.setUndoLimit(maximumSteps);
}

void TaskHistory::add(const TaskItem &task)
{
    const QList<TaskItem> &tasks = m_store.tasks();
    m_stack.push(new PresenceStep(*this, m_store, task, idsBefore(tasks, tasks.size()), true));
}

void TaskHistory::remove(const QUuid &id)
{
    const int index = m_store.indexOf(id);
    if (index < 0)
        return;
    const QList<TaskItem> &tasks = m_store.tasks();
    m_stack.push(new PresenceStep(*this, m_store, tasks.at(index), idsBefore(tasks, index), false));
}

void TaskHistory::replace(const TaskItem &changed)
{
    const int index = m_store.indexOf(changed.id);
    if (index < 0 || m_store.tasks().at(index) == changed)
        return;
    m_stack.push(new ChangeStep(m_store, m_store.tasks().at(index), changed));
}

void TaskHistory::restoreRemoved(const QUuid &id)
{
    if (m_store.indexOf(id) >= 0)
        return;
    for (int i = m_stack.index() - 1; i >= 0; --i) {
        const auto *step = dynamic_cast<const PresenceStep *>(m_stack.command(i));
        if (!step || step->taskId() != id || step->entersOnRedo())
            continue;
        if (i == m_stack.index() - 1)
            m_stack.undo();
        else
            m_stack.push(step->reversed());
        return;
    }
}
