#include "app/secondticker.h"

#include "platform/wallclock.h"

#include <QObject>

SecondTicker::SecondTicker(QObject& target, const WallClock& clock)
    : m_target(target)
    , m_clock(clock)
{
}

SecondTicker::~SecondTicker()
{
    stop();
}

int SecondTicker::msIntoSecond() const
{
    return int(m_clock.preciseNow().tv_nsec / 1000000);
}

void SecondTicker::stop()
{
    if (m_toBoundary)
        m_target.killTimer(m_toBoundary);
    if (m_repeating)
        m_target.killTimer(m_repeating);
    m_toBoundary = 0;
    m_repeating = 0;
}

void SecondTicker::align()
{
    stop();
    const int into = msIntoSecond();
    const int delay = into < MarginMs ? MarginMs - into : 1000 - into + MarginMs;
    m_toBoundary = m_target.startTimer(delay, Qt::PreciseTimer);
}

bool SecondTicker::onTimer(int timerId)
{
    if (timerId == 0)
        return false;
    if (timerId == m_toBoundary) {
        m_target.killTimer(m_toBoundary);
        m_toBoundary = 0;
        // A precise timer: a coarse one may drift a tick across a second
        // boundary, and the clock would then skip or repeat a second.
        m_repeating = m_target.startTimer(1000, Qt::PreciseTimer);
        return true;
    }
    if (timerId != m_repeating)
        return false;
    // The repeating timer runs on the monotonic clock; when the wall clock
    // has been set or has drifted against it, the ticks no longer fall just
    // after the second begins. A tick just before the boundary counts as late.
    if (msIntoSecond() > LateMs)
        align();
    return true;
}
