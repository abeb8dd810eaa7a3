#pragma once

#include <QWidget>

class CheckBox;
class RoundedButton;
class Stepper;
class TextLabel;

// The reminder interval: a stepper over 5...120 minutes in steps of 5; under it, whether the
// session starts Lorvane at login. The panel shows the interval and the choice it is given
// and asks for each change through minutesChosen() and launchAtLoginChosen(); its owner
// stores the new value and gives back what it then holds.
//
// A value outside the range is shown as it is; the first step in either direction brings it
// to the nearer end of the range (200 becomes 120, 2 becomes 5). At either end, a step
// outwards asks for nothing.
//
// Under these, the button that opens the sync settings and one line on how the sync stands,
// which the owner gives; the line takes no room while it is empty.
class SettingsPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int minimumMinutes = 5;
    static constexpr int maximumMinutes = 120;
    static constexpr int stepMinutes = 5;

    explicit SettingsPanel(QWidget *parent = nullptr);

    void setMinutes(qint64 minutes);
    void setLaunchAtLogin(bool enabled);
    // "Sincronizado con cloud.example.org"; cut short with an ellipsis when too long.
    void setSyncStatus(const QString &text);

signals:
    void minutesChosen(int minutes);
    void launchAtLoginChosen(bool enabled);
    void syncClicked();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step(int direction);

    qint64 m_minutes = 0;
    Stepper *m_stepper = nullptr;
    CheckBox *m_launchAtLogin = nullptr;
    RoundedButton *m_syncButton = nullptr;
    TextLabel *m_syncStatus = nullptr;
};
