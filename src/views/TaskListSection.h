#pragma once

#include "model/TaskItem.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>

class AnimatedColumn;
class EmptyStateView;
class QScrollArea;
class TaskListKeyboard;
class TaskRow;

// Between the two dividers: the empty state when the store holds no task, otherwise a
// vertically scrolling column of rows in the order of the given positions. Rows are kept
// per task id across updates and only the ones whose task changed are touched. The empty
// state lies over the list and fades with the change that brings or takes the last task,
// while the row itself fades in or out beneath it.
//
// For the keyboard the list is one stop in the window's Tab order (see TaskListKeyboard);
// for assistive technology it is a list of items (see TaskListAccessibility).
//
// Rows that move under a pointer standing still get no enter or leave event; once the rows
// settle, and whenever the list scrolls or moves in the window, the hover goes to the row
// under the pointer.
class TaskListSection : public QWidget
{
    Q_OBJECT

public:
    explicit TaskListSection(QWidget *parent = nullptr);

    // `order` holds positions into `tasks`. Animated with the current transaction, if any.
    // Positions out of range, and a task id met a second time, are skipped.
    void setState(const QList<TaskItem> &tasks, const QList<int> &order);

    QList<TaskRow *> rows() const { return m_order; } // in display order

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void doneToggled(const QUuid &id);
    void priorityToggled(const QUuid &id);
    void deleteRequested(const QUuid &id);
    void textEdited(const QUuid &id, const QString &text);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    TaskRow *createRow(const TaskItem &task);
    void retireRow(TaskRow *row, const QList<TaskItem> &tasks);
    void followPointer();

    EmptyStateView *m_emptyState = nullptr;
    QScrollArea *m_scrollArea = nullptr;
    AnimatedColumn *m_column = nullptr;
    TaskListKeyboard *m_keyboard = nullptr;

    struct Slot {
        TaskRow *row = nullptr;
        quint64 pass = 0; // the last update that showed it
    };
    QHash<QUuid, Slot> m_rows;
    QList<TaskRow *> m_order;
    quint64 m_pass = 0;
};
