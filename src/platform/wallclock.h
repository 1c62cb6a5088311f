#pragma once

#include <ctime>

// "Now" for every layer that shows the time, and for the tick that keeps the
// frames on the second. The base class reads the system's clock; a window
// is handed the clock it reads.
class WallClock
{
public:
    virtual ~WallClock() = default;

    // The calendar time in whole seconds, as time() gives it.
    virtual time_t now() const;
    // The calendar time to the nanosecond, for phasing the one-second tick.
    virtual timespec preciseNow() const;
};

// A clock that stands still at a chosen second until it is set again.
class FixedWallClock : public WallClock
{
public:
    explicit FixedWallClock(time_t at = 0) : m_at(at) {}
    void set(time_t at) { m_at = at; }
    time_t now() const override { return m_at; }
    timespec preciseNow() const override { return { m_at, 0 }; }

private:
    time_t m_at;
};
