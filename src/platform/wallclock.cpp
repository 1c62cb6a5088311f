#include "wallclock.h"

namespace {
const WallClock systemClock{};
const WallClock* currentClock = &systemClock;
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

const WallClock& WallClock::system()
{
    return systemClock;
}

const WallClock& WallClock::current()
{
    return *currentClock;
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
