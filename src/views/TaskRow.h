#pragma once

#include "model/TaskItem.h"

#include <QWidget>

// One task in the list: done mark, display text and tag chips, the delete button while
// hovered, priority from the context menu, in-place editing by double click.
//
// A row belongs to a task id, not to a position: its hover and edit state follow the task
// when others move or go. It never writes the store; it asks through its signals, which
// carry its own id, so a request for a task that is gone changes nothing.
class TaskRow : public QWidget
{
    Q_OBJECT

public:
    explicit TaskRow(const TaskItem &task, QWidget *parent = nullptr);

    QUuid taskId() const;
    // Shows the current record (same id). Animated with the current transaction, if any.
    void setTask(const TaskItem &task);

    bool isHovered() const;
    bool isEditing() const;
    void startEditing();
    void commitEdit();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    void doneToggled(const QUuid &id);
    void priorityToggled(const QUuid &id);
    void deleteRequested(const QUuid &id);
    // The trimmed, non-blank new text.
    void textEdited(const QUuid &id, const QString &text);
};
