#include "views/TaskListKeyboard.h"

#include "views/TaskRow.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QScrollArea>

#include <functional>

namespace {

// Tells of every mouse click in the program, while installed on the application.
class ClickWatch : public QObject
{
public:
    ClickWatch(std::function<void()> clicked, QObject *parent)
        : QObject(parent), m_clicked(std::move(clicked))
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonPress ||
            event->type() == QEvent::MouseButtonDblClick)
            m_clicked();
        return false;
    }

private:
    std::function<void()> m_clicked;
};

} // namespace

TaskListKeyboard::TaskListKeyboard(QWidget *list, QScrollArea *scrollArea)
    : QObject(list), m_list(list), m_scrollArea(scrollArea),
      m_clickWatch(new ClickWatch([this] { setKeyboardInUse(false); }, this))
{
}

void TaskListKeyboard::addRow(TaskRow *row)
{
    row->installEventFilter(this);
}

void TaskListKeyboard::setRows(const QList<TaskRow *> &rows)
{
    // The row holding the focus, itself or in its edit field.
    TaskRow *focused = nullptr;
    for (QWidget *w = QApplication::focusWidget(); w && !focused; w = w->parentWidget())
        focused = qobject_cast<TaskRow *>(w);
    const qsizetype place = m_rows.indexOf(focused);
    m_rows = rows;
    m_list->setFocusPolicy(rows.isEmpty() ? Qt::NoFocus : Qt::TabFocus);
    if (place < 0 || rows.contains(focused))
        return;
    if (rows.isEmpty())
        leave(true);
    else
        focusRow(rows.at(std::min(place, rows.size() - 1)), Qt::OtherFocusReason);
}

void TaskListKeyboard::enter(Qt::FocusReason reason)
{
    if (m_rows.isEmpty())
        return;
    focusRow(m_rows.contains(m_current.data()) ? m_current.data() : m_rows.first(), reason);
}

bool TaskListKeyboard::leave(bool next)
{
    // The rows and their fields come late in the window's focus chain (they are made as
    // tasks come); the list's own place in it is what counts.
    QWidget *window = m_list->window();
    for (QWidget *w = m_list;;) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == m_list)
            return false;
        if (!m_list->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            w->window() == window && w->isVisibleTo(window)) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
}

bool TaskListKeyboard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        if (auto *row = qobject_cast<TaskRow *>(watched); row && row->hasFocus()) {
            if (handleKey(row, static_cast<QKeyEvent *>(event)))
                return true;
        }
        break;
    case QEvent::FocusIn: {
        auto *row = qobject_cast<TaskRow *>(watched);
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (!row)
            break;
        m_current = row;
        // Tab is the keyboard; the keys on a row say so themselves. The focus passed on from
        // a row that left, given back after an edit, or back from a popup or another window
        // leaves things as they were: after a click, still no ring.
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            setKeyboardInUse(true);
        // Coming back to the window does not scroll the list back to the focus.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            m_scrollArea->ensureWidgetVisible(row);
        updateRing(row);
        break;
    }
    case QEvent::FocusOut:
        if (auto *row = qobject_cast<TaskRow *>(watched))
            row->setFocusRingShown(false);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool TaskListKeyboard::handleKey(TaskRow *row, const QKeyEvent *key)
{
    setKeyboardInUse(true);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Menu ||
        (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), row->mapToGlobal(QPoint()));
        QCoreApplication::sendEvent(row, &menu);
        return true;
    }
    if (modifiers != Qt::NoModifier)
        return false;
    const qsizetype place = m_rows.indexOf(row);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // At either end the focus stays where it is; the key does not scroll the list.
        const qsizetype to = place + (key->key() == Qt::Key_Down ? 1 : -1);
        if (place >= 0 && to >= 0 && to < m_rows.size())
            focusRow(m_rows.at(to), Qt::OtherFocusReason);
        return true;
    }
    case Qt::Key_Space:
        row->toggleDone();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        row->startEditing();
        return true;
    case Qt::Key_Delete:
        row->requestDelete();
        return true;
    default:
        return false;
    }
}

void TaskListKeyboard::focusRow(TaskRow *row, Qt::FocusReason reason)
{
    // A row far out of sight is hidden (see ColumnCulling) and could not take the focus;
    // scrolled to, it is shown.
    if (row->isHidden())
        m_scrollArea->ensureWidgetVisible(row);
    row->setFocus(reason);
}

void TaskListKeyboard::setKeyboardInUse(bool inUse)
{
    if (inUse == m_keyboardInUse)
        return;
    m_keyboardInUse = inUse;
    // Any mouse click in the program ends keyboard use; it is listened for only meanwhile.
    if (inUse)
        qApp->installEventFilter(m_clickWatch);
    else
        qApp->removeEventFilter(m_clickWatch);
    if (m_current)
        updateRing(m_current);
}

void TaskListKeyboard::updateRing(TaskRow *row)
{
    row->setFocusRingShown(m_keyboardInUse && row->hasFocus());
}
