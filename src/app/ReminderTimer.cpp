#include "app/ReminderTimer.h"

#include <limits>

ReminderTimer::ReminderTimer(QObject *parent) : QObject(parent)
{
    // A reminder minutes away needs no millisecond precision, but a coarse timer may fire
    // up to 5 % late; keep it precise so the interval is what the user chose.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReminderTimer::fired);
}

int ReminderTimer::intervalMsecFor(qint64 storedMinutes)
{
    constexpr qint64 maxMsec = std::numeric_limits<int>::max();
    constexpr qint64 msecPerMinute = 60 * 1000;
    const qint64 minutes = storedMinutes <= 0 ? defaultMinutes : storedMinutes;
    // Compare before multiplying, so that no stored value can overflow the product.
    if (minutes > maxMsec / msecPerMinute)
        return int(maxMsec);
    return int(minutes * msecPerMinute);
}

void ReminderTimer::start(qint64 storedMinutes)
{
    m_timer.stop();
    m_timer.start(intervalMsecFor(storedMinutes));
}

void ReminderTimer::stop()
{
    m_timer.stop();
}

void ReminderTimer::fire()
{
    emit fired();
}
