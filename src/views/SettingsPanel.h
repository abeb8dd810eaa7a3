#pragma once

#include <QWidget>

class CheckBox;
class Stepper;

// The reminder interval: a stepper over 5...120 minutes in steps of 5; under it, whether the
// session starts Lorvane at login. The panel shows the interval and the choice it is given
// and asks for each change through minutesChosen() and launchAtLoginChosen(); its owner
// stores the new value and gives back what it then holds.
//
// A value outside the range is shown as it is; the first step in either direction brings it
// to the nearer end of the range (200 becomes 120, 2 becomes 5). At either end, a step
// outwards asks for nothing.
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

signals:
    void minutesChosen(int minutes);
    void launchAtLoginChosen(bool enabled);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step(int direction);

    qint64 m_minutes = 0;
    Stepper *m_stepper = nullptr;
    CheckBox *m_launchAtLogin = nullptr;
};
