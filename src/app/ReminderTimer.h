#pragma once

#include <QObject>
#include <QTimer>

// The repeating reminder. Each start replaces the running timer with a new one whose first
// firing comes one full interval later, so a restart always postpones the next reminder.
class ReminderTimer : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultMinutes = 30;

    explicit ReminderTimer(QObject *parent = nullptr);

    // The interval for a stored number of minutes: 0 or less means the default. QTimer
    // counts milliseconds in an int (about 24.8 days), so larger values are held at that
    // limit instead of overflowing into a negative or tiny interval.
    static int intervalMsecFor(qint64 storedMinutes);

    void start(qint64 storedMinutes);
    void stop();

    bool isActive() const { return m_timer.isActive(); }
    int intervalMsec() const { return m_timer.interval(); }
    // Milliseconds until the next firing, -1 when stopped.
    int remainingMsec() const { return m_timer.remainingTime(); }

    // Runs the firing now, as if the interval had elapsed; the schedule is unchanged.
    void fire();

signals:
    void fired();

private:
    QTimer m_timer;
};
