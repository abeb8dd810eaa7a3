#pragma once

#include "model/TaskItem.h"

#include <QList>
#include <QObject>
#include <QUndoStack>
#include <QUuid>

class TaskStore;

// The changes made to the list in this window, to be undone and redone for the rest of the
// session (never stored). Each step is applied by task id to the list as it is at that
// moment, so an outside change in between (another program writing the file) is kept: an
// undone delete goes back after the task that preceded it and is still there, an undone
// edit or mark only sets back what that step changed.
class TaskHistory : public QObject
{
    Q_OBJECT

public:
    static constexpr int maximumSteps = 100;

    explicit TaskHistory(TaskStore &store, QObject *parent = nullptr);

    // Each makes the change through the store and records it; nothing is recorded when the
    // change finds nothing to change (the task is gone, the record is the same).
    void add(const TaskItem &task);
    void remove(const QUuid &id);
    void replace(const TaskItem &changed);

    // Takes back the removal of `id`: the last step when it is that removal, otherwise as a
    // new step of its own, so that the changes made after it stay. Nothing when the task is
    // in the list.
    void restoreRemoved(const QUuid &id);

    bool canUndo() const { return m_stack.canUndo(); }
    bool canRedo() const { return m_stack.canRedo(); }
    void undo() { m_stack.undo(); }
    void redo() { m_stack.redo(); }
    QUndoStack &stack() { return m_stack; }

signals:
    // A task was deleted through a step made here, for the first time or again by redo.
    void removed(const QUuid &id);
    // A removed task came back through a step made here.
    void restored(const QUuid &id);

private:
    TaskStore &m_store;
    QUndoStack m_stack;
};
