#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QKeyEvent;
class QScrollArea;
class QWidget;
class TaskRow;

// The task list by keyboard. The list is one stop in the window's Tab order: reaching it
// focuses a row (the one focused last, else the first), and Tab or Shift+Tab on a row leave
// the list. On the focused row, Up and Down move to the next row, Space marks it done or open,
// Return or F2 edits it, Delete deletes it and the Menu key or Shift+F10 opens its context
// menu, each exactly as its mouse twin does. The focused row shows its focus ring while the
// keyboard is in use, and not after a mouse click.
class TaskListKeyboard : public QObject
{
    Q_OBJECT

public:
    // `list` is the widget that stands for the list in the Tab order; `scrollArea` shows the
    // rows.
    TaskListKeyboard(QWidget *list, QScrollArea *scrollArea);

    void addRow(TaskRow *row);
    // The rows shown, in display order. When the row holding the focus (or its edit field)
    // is no longer among them, the focus goes to the row now in its place, or out of the
    // list when none is left.
    void setRows(const QList<TaskRow *> &rows);

    // The list was reached in the Tab order: the focus goes on to a row.
    void enter(Qt::FocusReason reason);
    // Tab (`next`) or Shift+Tab from inside the list: the focus goes to the first stop
    // outside it. False when there is none.
    bool leave(bool next);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handleKey(TaskRow *row, const QKeyEvent *key);
    void focusRow(TaskRow *row, Qt::FocusReason reason);
    void setKeyboardInUse(bool inUse);
    void updateRing(TaskRow *row);

    QWidget *m_list;
    QScrollArea *m_scrollArea;
    QList<TaskRow *> m_rows;
    QObject *m_clickWatch;
    QPointer<TaskRow> m_current; // the row focused last
    bool m_keyboardInUse = false;
};
