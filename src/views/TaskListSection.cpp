#include "views/TaskListSection.h"

#include "toolkit/AnimatedColumn.h"
#include "toolkit/Motion.h"
#include "views/EmptyStateView.h"
#include "views/TaskListAccessibility.h"
#include "views/TaskListKeyboard.h"
#include "views/TaskRow.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int listPadding = 6;
// The window's width.
constexpr int initialWidth = 320;

// The list takes whatever height the window leaves it, so its size hint need not depend on
// its rows. QScrollArea's own hint asks the column for its height at the column's current
// width, which before the first layout is a provisional one: with thousands of rows that
// means laying out every text for a width nobody will see.
class ListScrollArea : public QScrollArea
{
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override { return {initialWidth, 0}; }
};

} // namespace

TaskListSection::TaskListSection(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    TaskListAccessibility::install();

    m_scrollArea = new ListScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The section stands for the list in the Tab order; the scroll area is no stop of its own.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    m_scrollArea->viewport()->setAutoFillBackground(false);

    m_column = new AnimatedColumn;
    m_column->setObjectName(TaskListAccessibility::listName);
    m_column->setAccessibleName(tr("Tareas"));
    m_column->setPadding(listPadding, listPadding);
    m_column->setDeletesRemovedItems(true);
    m_column->cullFarItems();
    m_scrollArea->setWidget(m_column);
    // setWidget() turns the background on; the window's background shows through instead.
    m_column->setAutoFillBackground(false);

    // Over the list, so that the two can cross-fade.
    m_emptyState = new EmptyStateView(this);
    m_emptyState->setAttribute(Qt::WA_TransparentForMouseEvents); // nor while it fades out
    m_keyboard = new TaskListKeyboard(this, m_scrollArea);

    connect(m_column, &AnimatedColumn::settled, this, &TaskListSection::followPointer);
    connect(m_scrollArea->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &TaskListSection::followPointer);

    // Until the first real layout, the scroll area measures the column at the width its
    // viewport happens to have. Starting at the window's width keeps it from laying out
    // every text for the provisional width of a new widget, at which all of them wrap.
    resize(initialWidth, height());
    m_scrollArea->resize(initialWidth, height());
    m_column->resize(initialWidth, 0);
}

void TaskListSection::setState(const QList<TaskItem> &tasks, const QList<int> &order)
{
    // The empty state answers "no tasks at all"; a filter that leaves none shows an empty
    // list instead.
    const bool noTasks = tasks.isEmpty();

    // Each update is one pass; a row met in this pass is marked with its number, so that
    // what is left unmarked afterwards is what went, without building a second table.
    ++m_pass;
    QList<TaskRow *> rows;
    if (!noTasks) {
        rows.reserve(order.size());
        for (const int position : order) {
            if (position < 0 || position >= tasks.size())
                continue;
            const TaskItem &task = tasks.at(position);
            auto slot = m_rows.find(task.id);
            if (slot == m_rows.end()) {
                slot = m_rows.insert(task.id, {createRow(task), m_pass});
            } else if (slot->pass == m_pass) {
                continue; // the same task twice: shown once
            } else {
                slot->pass = m_pass;
                slot->row->setTask(task);
            }
            rows.append(slot->row);
        }
    }
    // Rows of tasks no longer shown.
    if (rows.size() != m_rows.size()) {
        for (auto slot = m_rows.begin(); slot != m_rows.end();) {
            if (slot->pass == m_pass) {
                ++slot;
                continue;
            }
            retireRow(slot->row, tasks);
            slot = m_rows.erase(slot);
        }
    }

    if (rows != m_order) {
        m_order = rows;
        // The focus leaves a row that goes before the row hides: hidden, it would hand the
        // focus on by the window's focus chain.
        m_keyboard->setRows(rows);
        m_column->setItems(QList<QWidget *>(rows.cbegin(), rows.cend()));
        if (QAccessible::isActive()) {
            QAccessibleEvent reordered(m_column, QAccessible::ObjectReorder);
            QAccessible::updateAccessibility(&reordered);
        }
    }
    Motion::setPresent(m_emptyState, noTasks);
}

QSize TaskListSection::sizeHint() const
{
    return m_emptyState->sizeHint().expandedTo(m_scrollArea->sizeHint());
}

QSize TaskListSection::minimumSizeHint() const
{
    return m_emptyState->minimumSizeHint();
}

void TaskListSection::resizeEvent(QResizeEvent *)
{
    m_scrollArea->setGeometry(rect());
    m_emptyState->setGeometry(rect());
    followPointer();
}

void TaskListSection::moveEvent(QMoveEvent *)
{
    // Pushed down or up by a part of the window above that came or went.
    followPointer();
}

void TaskListSection::focusInEvent(QFocusEvent *event)
{
    m_keyboard->enter(event->reason());
}

bool TaskListSection::focusNextPrevChild(bool next)
{
    // Tab and Shift+Tab from a row (or its edit field) leave the list.
    return m_keyboard->leave(next) || QWidget::focusNextPrevChild(next);
}

TaskRow *TaskListSection::createRow(const TaskItem &task)
{
    auto *row = new TaskRow(task, m_column);
    m_keyboard->addRow(row);
    connect(row, &TaskRow::doneToggled, this, &TaskListSection::doneToggled);
    connect(row, &TaskRow::priorityToggled, this, &TaskListSection::priorityToggled);
    connect(row, &TaskRow::deleteRequested, this, &TaskListSection::deleteRequested);
    connect(row, &TaskRow::textEdited, this, &TaskListSection::textEdited);
    // Rows below a row that grew or shrank move with the change's transaction, if it has
    // one; otherwise the column's next layout request places them.
    connect(row, &TaskRow::heightChanged, this, [this] {
        if (Motion::current())
            m_column->relayout();
    });
    return row;
}

void TaskListSection::retireRow(TaskRow *row, const QList<TaskItem> &tasks)
{
    // A row on its way out asks for nothing more: its task is gone, or no longer shown.
    row->disconnect(this);
    row->setAttribute(Qt::WA_TransparentForMouseEvents);

    // An edit open in a row that leaves because its task is filtered out is still stored,
    // as any other way out of an edit is. It is handed on after this update, never from
    // inside it.
    const QString pending = row->editedText();
    row->discardEdit();
    if (pending.isEmpty())
        return;
    const QUuid id = row->taskId();
    const bool stillThere = std::any_of(tasks.cbegin(), tasks.cend(),
                                        [&](const TaskItem &task) { return task.id == id; });
    if (stillThere) {
        QMetaObject::invokeMethod(
            this, [this, id, pending] { emit textEdited(id, pending); }, Qt::QueuedConnection);
    }
}

void TaskListSection::followPointer()
{
    // The widget under the pointer, in whatever window is on top there; a row fading out
    // takes no mouse events and so is never found.
    TaskRow *under = nullptr;
    for (QWidget *widget = QApplication::widgetAt(QCursor::pos()); widget && !under;
         widget = widget->parentWidget()) {
        if (widget->parentWidget() == m_column)
            under = qobject_cast<TaskRow *>(widget);
    }
    for (TaskRow *row : std::as_const(m_order)) {
        if (row->isHovered() != (row == under))
            row->setPointerOver(row == under);
    }
}
