#pragma once

#include <QTimer>
#include <QUuid>
#include <QWidget>

class TextButton;

// "Tarea eliminada" with "Deshacer", floating above the input line for a few seconds after a
// task is deleted, over the list rather than in it, so that nothing moves. It fades in and
// out; a later delete takes its place. Screen readers meet it as an alert, read out when it
// appears.
class UndoToast : public QWidget
{
    Q_OBJECT

public:
    static constexpr int shownMsec = 6000;

    explicit UndoToast(QWidget *parent = nullptr);

    // Shows the toast for the deletion of `task`, for shownMsec from now.
    void showFor(const QUuid &task);
    // Fades the toast out, if it is shown.
    void dismiss();
    // The deleted task the toast offers to bring back; null while it offers nothing.
    QUuid task() const { return m_task; }
    TextButton *undoButton() const { return m_undo; }

    QSize sizeHint() const override;

signals:
    void undoRequested(const QUuid &task);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void expire();

    QUuid m_task;
    QString m_message;
    TextButton *m_undo = nullptr;
    QTimer m_expiry;
};
