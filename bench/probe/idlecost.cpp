// What the lock screen costs while nobody looks: lockapp beside
// `xclock -analog -update 1` on one 720x320 screen, hidden (the phone in use),
// raised with the display off (in a pocket) and raised with it on, each state
// over the same windows of time for both: CPU of every thread
// (/proc/PID/task/*/schedstat) and context switches of every thread, the
// process's wake-ups.
#include "modes.h"

#include "benchstats.h"
#include "procfs.h"
#include "harness/headlesssession.h"

#include <cstdio>

using namespace std::chrono_literals;

namespace {

struct Reading
{
    double cpuNs;
    qint64 switches;
    ProbeClock::time_point at;
};

Reading read(pid_t pid)
{
    return { processCpuNs(pid).first, contextSwitches(pid, SwitchCount::AllWakeUps), ProbeClock::now() };
}

// Three windows of `seconds` each: CPU in ms a minute and switches per 30 s.
void measure(const char* state, ChildProcess& lockapp, ChildProcess& xclock, int seconds)
{
    std::vector<double> cpu[2], switches[2];
    ChildProcess* processes[2] = { &lockapp, &xclock };
    for (int window = 0; window < 3; ++window) {
        Reading before[2] = { read(lockapp.pid()), read(xclock.pid()) };
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        for (int i = 0; i < 2; ++i) {
            const Reading after = read(processes[i]->pid());
            const double ms = msBetween(before[i].at, after.at);
            cpu[i].push_back((after.cpuNs - before[i].cpuNs) / 1e6 * 60000.0 / ms);
            switches[i].push_back(double(after.switches - before[i].switches) * 30000.0 / ms);
        }
    }
    const char* names[2] = { "lockapp", "xclock" };
    for (int i = 0; i < 2; ++i) {
        printResultLine(std::string("idle_") + state + "_" + names[i] + "_cpu", "ms/min", cpu[i], "");
        printResultLine(std::string("idle_") + state + "_" + names[i] + "_switches", "per30s", switches[i], "");
    }
}

} // namespace

int probeIdle(const std::string& program, int seconds)
{
    ChildProcess lockapp({ program }, true);
    lockapp.expect("pix over!\n", 0);
    waitIdle(lockapp.pid());
    ChildProcess xclock({ "xclock", "-analog", "-update", "1", "-geometry", "240x320+240+0" }, false);
    std::this_thread::sleep_for(1500ms);
    measure("hidden", lockapp, xclock, seconds);

    size_t mark = lockapp.size();
    sendOverBus("LCDOff");
    lockapp.expect("\npaint over\n", mark);
    std::this_thread::sleep_for(1s);
    measure("dark", lockapp, xclock, seconds);

    mark = lockapp.size();
    sendOverBus("LCDOn");
    lockapp.expect("\npaint over\n", lockapp.expect("\nLCDOn\n", mark).end);
    std::this_thread::sleep_for(1s);
    measure("lit", lockapp, xclock, seconds);
    lockapp.terminate();
    return 0;
}
