#pragma once

#include <QString>

struct TaskItem;

// The task list as assistive technology (AT-SPI on Linux) sees it: the column of rows is a
// list of items in the order shown; each row is an item named by what it shows and its state
// ("Comprar pan, prioritaria, casa") that offers the row's actions: marking the task done or
// open, editing it, flagging it and deleting it, each as its mouse twin does.
namespace TaskListAccessibility {

// The object name that makes a column of rows the list.
inline const QString listName = QStringLiteral("taskList");

// Registers the list's and the rows' interfaces with Qt; the first call does it.
void install();

// What a screen reader says of a task: its text shown, "hecha", "prioritaria", its tags.
QString describe(const TaskItem &task);

} // namespace TaskListAccessibility
