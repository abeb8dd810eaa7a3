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

signals:
    void settingsButtonClicked();

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateSettingsButtonColor();

    TextLabel *m_count = nullptr;
    PlainButton *m_settingsButton = nullptr;
    bool m_settingsShown = false;
};
