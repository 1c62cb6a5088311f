#pragma once

#include <QtGlobal>

class QObject;
class WallClock;

// Keeps a window's repeating one-second timer on the wall clock's second:
// each tick lands just after a second begins, so the frame it asks for shows
// the second that has just begun, and a frame that runs late does not skip a
// second. The timer events go to the target as from any of its own timers.
class SecondTicker
{
public:
    // How long after the second begins a tick is aimed at: more than the
    // kernel's tick, by which time() may lag the precise clock.
    static constexpr int MarginMs = 10;
    // A tick this late (or early, before the second) re-phases the timer.
    static constexpr int LateMs = 100;

    SecondTicker(QObject& target, const WallClock& clock);
    ~SecondTicker();
    Q_DISABLE_COPY_MOVE(SecondTicker)

    // Starts the ticks anew: the first just after the next second begins,
    // then one every 1000 ms.
    void align();
    // No more ticks until the next align().
    void stop();
    bool isRunning() const { return m_toBoundary || m_repeating; }
    // To be called with the id of every timer event the target receives.
    // Returns false for timers that are not the ticker's.
    bool onTimer(int timerId);

private:
    int msIntoSecond() const;

    QObject& m_target;
    const WallClock& m_clock;
    int m_toBoundary = 0;  // the single shot to the next second
    int m_repeating = 0;   // then every 1000 ms
};
