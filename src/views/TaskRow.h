#pragma once

#include "model/TaskItem.h"
#include "views/TaskRowLayout.h"

#include <QColor>
#include <QWidget>

class FadeScaleEffect;
class PlainButton;
class QLineEdit;
class Theme;

// One task in the list: done mark, display text and tag chips, the delete button over the
// end of the text while hovered, priority from the context menu, in-place editing by double
// click.
//
// A row belongs to a task id, not to a position: its hover and edit state follow the task
// when others move or go. It never writes the store; it asks through its signals, which
// carry its own id, so a request for a task that is gone changes nothing.
//
// Rows are cheap: the text and the chips are painted, not built from child widgets, and
// their wrapped layout is kept for the current width. The only children are the done mark,
// the delete button (made on first hover) and the edit field (made on first edit).
class TaskRow : public QWidget
{
    Q_OBJECT
    // What transitions animate: the background, how far the text is styled as done (0 to
    // 1), and how far the delete button has grown and faded in (0 to 1).
    Q_PROPERTY(QColor background READ background WRITE setBackground)
    Q_PROPERTY(qreal doneStyle READ doneStyle WRITE setDoneStyle)
    Q_PROPERTY(qreal deletePresence READ deletePresence WRITE setDeletePresence)

public:
    explicit TaskRow(const TaskItem &task, QWidget *parent = nullptr);
    ~TaskRow() override;

    QUuid taskId() const { return m_task.id; }
    const TaskItem &task() const { return m_task; }
    // Shows the current record (same id). Animated with the current transaction, if any.
    // An unchanged record changes nothing.
    void setTask(const TaskItem &task);

    // What the mouse does, for the keyboard and for assistive technology: the done mark's
    // click, a double click on the text, the delete button's click, the menu's item.
    void toggleDone();
    void startEditing();
    void requestDelete();
    void togglePriority();

    // Hovered or not, as the pointer's enter and leave say; also for the list, which asks
    // again where the pointer is once rows moved under a pointer that stood still.
    void setPointerOver(bool over);
    bool isHovered() const { return m_hovered; }

    // The accent-coloured ring of the row that has the keyboard focus.
    void setFocusRingShown(bool shown);
    bool isFocusRingShown() const { return m_focusRingShown; }

    bool isEditing() const { return m_editing; }
    void commitEdit();
    // The edit field's text trimmed of spaces and tabs; empty when not editing.
    QString editedText() const;
    // Leaves editing without asking for any change (the task is gone or no longer shown).
    void discardEdit();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void doneToggled(const QUuid &id);
    void priorityToggled(const QUuid &id);
    void deleteRequested(const QUuid &id);
    // The trimmed, non-blank new text.
    void textEdited(const QUuid &id, const QString &text);
    // The row's height changed by itself (editing, a new text); emitted inside the
    // transaction of the change, if any, after updateGeometry().
    void heightChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The text shown (without its tags) and the chips, to the layout and accessibility.
    void showContent();
    const TaskRowLayout::Geometry &geometry() const;
    void updateShape(int heightBefore);
    void placeChildren();

    void finishEditing();
    void setHovered(bool hovered);
    void updateDoneMark();
    void ensureDeleteButton();

    QColor markColor(const Theme &theme) const;
    QColor backgroundColor(const Theme &theme) const;
    QColor background() const { return m_background; }
    void setBackground(const QColor &color);
    qreal doneStyle() const { return m_doneStyle; }
    void setDoneStyle(qreal style);
    qreal deletePresence() const { return m_deletePresence; }
    void setDeletePresence(qreal presence);

    TaskItem m_task;
    TaskRowLayout m_layout;
    bool m_hovered = false;
    bool m_editing = false;
    bool m_focusRingShown = false;
    bool m_refocusAfterEdit = false; // the edit began on the focused row

    PlainButton *m_doneButton = nullptr;
    PlainButton *m_deleteButton = nullptr;
    FadeScaleEffect *m_deleteEffect = nullptr;
    QLineEdit *m_editField = nullptr;

    QColor m_background;
    qreal m_doneStyle = 0;
    qreal m_deletePresence = 0;
};
