#pragma once

#include "harness/childprocess.h"

#include <sys/types.h>

#include <string>
#include <vector>

// What /proc says of a process and its threads.

// One thread's scheduler figures (/proc/PID/task/TID/schedstat): time on
// the CPU, and how many times it was given the CPU (its wake-ups, near enough).
struct ThreadCpu
{
    std::string name;  // the thread's comm
    double cpuNs = 0;
    unsigned long long slices = 0;
};

std::string readProcFile(const std::string& path);
std::vector<ThreadCpu> threadsOf(pid_t pid);
// CPU time of every thread of a process, in ns, and how many threads.
std::pair<double, int> processCpuNs(pid_t pid);
// A "Field:" of /proc/PID/status in kB, or -1.
long statusKb(pid_t pid, const char* field);
// When the main thread went to sleep in the event loop for good: the first
// sample that found it asleep in poll, provided it then stays asleep (not
// scheduled at all) for `quiet`.
ProbeClock::time_point waitIdle(pid_t pid, std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
