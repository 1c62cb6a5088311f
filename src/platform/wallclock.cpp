#include "wallclock.h"

namespace {
WallClockSource currentSource = nullptr;
}

time_t wallClockNow()
{
    return currentSource ? currentSource() : std::time(nullptr);
}

void setWallClockSource(WallClockSource source)
{
    currentSource = source;
}
