#pragma once

#include <QWidget>

class Preferences;
class Stepper;

// The reminder interval: a stepper over 5...120 minutes in steps of 5. Each change writes
// the preference first, then posts the interval notification once.
//
// A stored value outside the range is shown as stored; the first step in either direction
// brings it to the nearer end of the range (200 becomes 120, 2 becomes 5) and counts as a
// change. At either end, a step outwards changes nothing and posts nothing.
class SettingsPanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int minimumMinutes = 5;
    static constexpr int maximumMinutes = 120;
    static constexpr int stepMinutes = 5;

    explicit SettingsPanel(Preferences &preferences, QWidget *parent = nullptr);

    // The stored interval, read from the preferences.
    int timerMinutes() const;
    void stepUp();
    void stepDown();

    Stepper *stepper() const { return m_stepper; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void step(int direction);
    void updateStepper();

    Preferences &m_preferences;
    Stepper *m_stepper = nullptr;
};
