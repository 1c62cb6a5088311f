#pragma once

#include <string>

// The probe's measurements of the real lockapp; each prints RESULT and
// SAMPLE lines and returns the exit status. PROGRAM is an absolute path.

// Start-up to the idle event loop, RUNS times.
int probeStartup(const std::string& program, int runs);
// LCDOff to the first "paint over", over CYCLES lock cycles.
int probeRaise(const std::string& program, int cycles);
// Peak resident memory over a lock cycle, RUNS times.
int probeMemory(const std::string& program, int runs);
struct MemoryPeak
{
    double vmHwmMiB = 0;
    double maxRssMiB = 0;
};
MemoryPeak peakOverLockCycle(const std::string& program);
// Peak resident memory over a lock cycle with huge images in the skin (a
// copy of lockapp in a program folder of its own), RUNS times each.
int probeImageMemory(const std::string& program, int runs);
// CPU of lockapp beside xclock and a plain Qt widget on one 720x320 screen,
// raised then hidden.
int probeWaiting(const std::string& program, int seconds, const std::string& plainclock);
// CPU and wake-ups of lockapp beside xclock on one 720x320 screen: hidden,
// raised with the display off, raised with it on; three windows of SECONDS.
int probeIdle(const std::string& program, int seconds);
// CPU of the whole system, raised: lockapp and xclock each with an Xvfb of
// their own (client and server), and lockapp on Qt's offscreen platform.
int probeSystem(const std::string& program, int seconds, int runs);
