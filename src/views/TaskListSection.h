#pragma once

#include "model/TaskItem.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>

class AnimatedColumn;
class EmptyStateView;
class QScrollArea;
class QStackedLayout;
class TaskRow;

// Between the two dividers: the empty state when the store holds no task, otherwise a
// vertically scrolling column of rows in the order of the given positions. Rows are kept
// per task id across updates and only the ones whose task changed are touched.
class TaskListSection : public QWidget
{
    Q_OBJECT

public:
    explicit TaskListSection(QWidget *parent = nullptr);

    // `order` holds positions into `tasks`. Animated with the current transaction, if any.
    // Positions out of range, and a task id met a second time, are skipped.
    void setState(const QList<TaskItem> &tasks, const QList<int> &order);

    QList<TaskRow *> rows() const { return m_order; } // in display order

signals:
    void doneToggled(const QUuid &id);
    void priorityToggled(const QUuid &id);
    void deleteRequested(const QUuid &id);
    void textEdited(const QUuid &id, const QString &text);

private:
    TaskRow *createRow(const TaskItem &task);
    void retireRow(TaskRow *row, const QList<TaskItem> &tasks);

    QStackedLayout *m_stack = nullptr;
    EmptyStateView *m_emptyState = nullptr;
    QScrollArea *m_scrollArea = nullptr;
    AnimatedColumn *m_column = nullptr;

    struct Slot {
        TaskRow *row = nullptr;
        quint64 pass = 0; // the last update that showed it
    };
    QHash<QUuid, Slot> m_rows;
    QList<TaskRow *> m_order;
    quint64 m_pass = 0;
};
