#include "platform/wallclock.h"

namespace {
const WallClock systemClock{};
const WallClock* currentClock = &systemClock;

// Reads whichever clock is current at the time of the reading.
class CurrentClock : public WallClock
{
public:
    time_t now() const override { return currentClock->now(); }
    timespec preciseNow() const override { return currentClock->preciseNow(); }
};
const CurrentClock followingClock{};
} // namespace

time_t WallClock::now() const
{
    return std::time(nullptr);
}

timespec WallClock::preciseNow() const
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

const WallClock& WallClock::current()
{
    return followingClock;
}

ScopedWallClock::ScopedWallClock(const WallClock& clock)
    : m_previous(currentClock)
{
    currentClock = &clock;
}

ScopedWallClock::~ScopedWallClock()
{
    currentClock = m_previous;
}
