#pragma once

#include <QWidget>

class Stepper;

// The reminder interval: a stepper over 5...120 minutes in steps of 5. The panel shows the
// interval it is given and asks for each change through minutesChosen(); its owner stores
// the new interval and gives it back.
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

    void setMinutes(int minutes);

signals:
    void minutesChosen(int minutes);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step(int direction);

    int m_minutes = 0;
    Stepper *m_stepper = nullptr;
};
