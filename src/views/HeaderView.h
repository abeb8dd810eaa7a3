#pragma once

#include <QWidget>

class PlainButton;
class TextLabel;

// The column's first row: badge, title, open-task count and the settings button.
class HeaderView : public QWidget
{
    Q_OBJECT

public:
    explicit HeaderView(QWidget *parent = nullptr);

    // "1 pendiente", "3 pendientes"; shown only while the count is above 0. The capsule comes,
    // goes and changes its number with the current transaction, if any.
    void setPendingCount(int count);
    // The settings button is accent-coloured while the panel is shown; the change of colour
    // animates with the current transaction.
    void setSettingsShown(bool shown);
    // While the sync fails, a red dot sits on the settings button and the button's
    // description says so.
    void setSyncProblem(bool problem);
    bool hasSyncProblem() const { return m_syncProblem; }

signals:
    void settingsButtonClicked();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateSettingsButtonColor();
    void placeProblemDot();

    TextLabel *m_count = nullptr;
    PlainButton *m_settingsButton = nullptr;
    QWidget *m_problemDot = nullptr;
    bool m_settingsShown = false;
    bool m_syncProblem = false;
};
