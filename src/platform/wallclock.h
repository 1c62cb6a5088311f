#pragma once

#include <ctime>

// "Now" for every layer that shows the time. By default the C library's
// time(); tests and the preview tool can fix it.
using WallClockSource = time_t (*)();

time_t wallClockNow();
// Installs a source of the current time; nullptr restores the C library's.
void setWallClockSource(WallClockSource source);
