#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Ctrl+Z undoes and Ctrl+Shift+Z (or Ctrl+Y) redoes the last change to the list wherever the
// keyboard focus is in a window. A text field keeps the keys for its own typing first: only
// once it has nothing left to undo (or redo) do they reach the list.
class UndoKeys : public QObject
{
    Q_OBJECT

public:
    // Watches key presses meant for `root` or any widget in it.
    UndoKeys(QWidget *root, std::function<void()> undo, std::function<void()> redo);
    ~UndoKeys() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_root;
    std::function<void()> m_undo;
    std::function<void()> m_redo;
};
