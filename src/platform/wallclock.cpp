#include "platform/wallclock.h"

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
