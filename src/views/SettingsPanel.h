#pragma once

#include <QWidget>

class Preferences;

// The reminder interval: a stepper over 5...120 minutes in steps of 5. Each change writes
// the preference first, then posts the interval notification once.
class SettingsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsPanel(Preferences &preferences, QWidget *parent = nullptr);

    int timerMinutes() const;
    void stepUp();
    void stepDown();
};
