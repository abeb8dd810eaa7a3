#include "views/UndoKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

enum class Request { None, Undo, Redo };

Request requestOf(const QKeyEvent *key)
{
    const Qt::KeyboardModifiers chord =
        key->modifiers() &
        (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key->key() == Qt::Key_Z && chord == Qt::ControlModifier)
        return Request::Undo;
    if ((key->key() == Qt::Key_Z && chord == (Qt::ControlModifier | Qt::ShiftModifier)) ||
        (key->key() == Qt::Key_Y && chord == Qt::ControlModifier))
        return Request::Redo;
    return Request::None;
}

// Whether the field in focus undoes (or redoes) the key itself.
bool fieldTakes(const QObject *target, Request request)
{
    const auto *field = qobject_cast<const QLineEdit *>(target);
    if (!field || field->isReadOnly())
        return false;
    return request == Request::Undo ? field->isUndoAvailable() : field->isRedoAvailable();
}

} // namespace

UndoKeys::UndoKeys(QWidget *root, std::function<void()> undo, std::function<void()> redo)
    : QObject(root), m_root(root), m_undo(std::move(undo)), m_redo(std::move(redo))
{
    // Key events go to the focus widget, which may be any descendant: watched for the whole
    // application and sorted by window.
    qApp->installEventFilter(this);
}

UndoKeys::~UndoKeys()
{
    qApp->removeEventFilter(this);
}

bool UndoKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    const auto *widget = qobject_cast<QWidget *>(watched);
    // Keys with no focus widget go to the window itself, around the root.
    if (!widget || widget->window() != m_root->window())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Request request = requestOf(key);
    if (request == Request::None || fieldTakes(watched, request))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed as a key press for the target, which brings it back here as one.
        event->accept();
        return true;
    }
    (request == Request::Undo ? m_undo : m_redo)();
    return true;
}
