#pragma once

#include "model/TaskItem.h"

#include <QList>
#include <QRectF>
#include <QWidget>

#include <memory>

class FadeScaleEffect;
class PlainButton;
class QLineEdit;
class QTextLayout;
class QVariantAnimation;
class Theme;

// One task in the list: done mark, display text and tag chips, the delete button while
// hovered, priority from the context menu, in-place editing by double click.
//
// A row belongs to a task id, not to a position: its hover and edit state follow the task
// when others move or go. It never writes the store; it asks through its signals, which
// carry its own id, so a request for a task that is gone changes nothing.
//
// Rows are cheap: the text and the chips are painted, not built from child widgets, and
// their wrapped layout is cached for the current width. The only children are the done
// mark, the delete button (made on first hover) and the edit field (made on first edit).
class TaskRow : public QWidget
{
    Q_OBJECT

public:
    explicit TaskRow(const TaskItem &task, QWidget *parent = nullptr);
    ~TaskRow() override;

    QUuid taskId() const;
    const TaskItem &task() const { return m_task; }
    // What the text line shows: the text without its tag words.
    QString displayText() const { return m_displayText; }
    // Shows the current record (same id). Animated with the current transaction, if any.
    // An unchanged record changes nothing.
    void setTask(const TaskItem &task);

    bool isHovered() const;
    bool isEditing() const;
    void startEditing();
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
    struct Chip {
        QRectF rect;
        QString tag;
        QString label; // the tag, elided when the chip is wider than the text area
    };
    // Where everything goes for one width and state; recomputed only when one of the
    // inputs (width, hover, editing, text, tags) changes.
    struct Geometry {
        int width = -1;
        bool hovered = false;
        bool editing = false;
        qreal textX = 0;
        qreal textWidth = 0;
        qreal textHeight = 0;
        qreal displayHeight = 0; // text line plus chips
        QList<Chip> chips;
        int height = 0;
    };

    const Geometry &geometryFor(int width) const;
    qreal textHeightFor(qreal textWidth) const;
    const QTextLayout &wrappedLayout(qreal textWidth) const;
    void forgetTextMeasurements();
    void invalidateGeometry();
    // Returns whether the row's height changed.
    bool geometryMayHaveChanged();
    void placeChildren();

    void setHovered(bool hovered);
    void finishEditing();
    void updateDoneMark();
    void updateEditFieldColors();
    void ensureDeleteButton();
    void setDeletePresence(qreal presence);

    QColor markColor(const Theme &theme) const;
    QColor backgroundColor(const Theme &theme) const;
    QColor shownBackground(const Theme &theme) const;
    qreal shownDoneProgress() const;
    QRectF displayRect() const;

    void paintText(QPainter &painter, const Theme &theme, const Geometry &geometry);
    void paintChips(QPainter &painter, const Geometry &geometry);

    TaskItem m_task;
    QString m_displayText;
    bool m_hovered = false;
    bool m_editing = false;

    PlainButton *m_doneButton = nullptr;
    PlainButton *m_deleteButton = nullptr;
    FadeScaleEffect *m_deleteEffect = nullptr;
    QLineEdit *m_editField = nullptr;

    mutable Geometry m_geometry;
    // Measurements of the text and the tags, made once per text: a text no wider than the
    // text area is one line and needs no layout. Only a text that wraps is laid out, and
    // its layout is kept for painting. The list asks for heights at two widths (with and
    // without room for the scroll bar), so two wrapped heights are remembered.
    struct WrappedHeight {
        qreal width = -1;
        qreal height = 0;
    };
    mutable qreal m_naturalWidth = -1;
    mutable QList<qreal> m_chipWidths;
    mutable WrappedHeight m_wrappedHeights[2];
    mutable int m_nextWrappedSlot = 0;
    mutable std::unique_ptr<QTextLayout> m_textLayout;
    mutable qreal m_textLayoutWidth = -1;

    // Transitions: each runs from the value shown when it started towards the current
    // state, progress 0 to 1.
    QVariantAnimation *m_backgroundAnimation = nullptr;
    QColor m_backgroundFrom;
    QVariantAnimation *m_styleAnimation = nullptr;
    qreal m_doneFrom = 0;
    QVariantAnimation *m_deleteAnimation = nullptr;
    qreal m_deleteFrom = 0;
    qreal m_deletePresence = 0;
};
