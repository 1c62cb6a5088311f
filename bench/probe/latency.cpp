// Start-up, raise latency and peak memory of the real lockapp under the X
// server of $DISPLAY, on the session bus of the caller.
#include "modes.h"

#include "benchstats.h"
#include "procfs.h"
#include "harness/headlesssession.h"

#include <cstdio>

using namespace std::chrono_literals;

namespace {
std::vector<std::string> lockappArgv(const std::string& program)
{
    return { program };
}
} // namespace

// From just before the process is spawned until its main thread is asleep in
// the event loop's poll after "pix over!" (the window is built, the loop runs
// with the window hidden) and stays asleep for 100 ms. Also the time to
// "pix over!".
int probeStartup(const std::string& program, int runs)
{
    std::vector<double> toIdle, toPix;
    for (int i = 0; i < runs; ++i) {
        ChildProcess lockapp(lockappArgv(program), true);
        const auto pix = lockapp.expect("pix over!\n", 0);
        const auto idle = waitIdle(lockapp.pid());
        toPix.push_back(msBetween(lockapp.spawnedAt(), pix.at));
        toIdle.push_back(msBetween(lockapp.spawnedAt(), idle));
        std::printf("SAMPLE startup run=%d pix_over_ms=%.2f loop_idle_ms=%.2f\n", i + 1, toPix.back(), toIdle.back());
        lockapp.terminate();
        std::this_thread::sleep_for(200ms);
    }
    printResultLine("startup_pix_over", "ms", toPix);
    printResultLine("startup", "ms", toIdle);
    return 0;
}

// From just before "LCDOff" is handed to the bus until "\npaint over" is
// written. Each cycle is a real raise: the window is checked hidden before
// and visible after, then unlocked with Return and the keypad star.
int probeRaise(const std::string& program, int cycles)
{
    ChildProcess lockapp(lockappArgv(program), true);
    lockapp.expect("pix over!\n", 0);
    waitIdle(lockapp.pid());
    std::vector<double> latency;
    int extraPaints = 0;
    for (int i = 0; i < cycles; ++i) {
        if (!lockWindow().empty())
            probeDie("the lock window is visible before LCDOff");
        const size_t mark = lockapp.size();
        const ProbeClock::time_point sent = ProbeClock::now();
        sendOverBus("LCDOff");
        const auto painted = lockapp.expect("\npaint over\n", mark, 5s);
        latency.push_back(msBetween(sent, painted.at));
        waitVisible();
        // Paints of the raise beyond the first (before the keys).
        extraPaints += int(lockapp.count("\npaint over\n", mark, lockapp.size())) - 1;
        std::printf("SAMPLE raise cycle=%d ms=%.3f\n", i + 1, latency.back());
        unlock(lockapp, mark);
        std::this_thread::sleep_for(30ms);
    }
    const double p99 = percentileOf(latency, 99);
    printResultLine("raise_latency", "ms", latency,
                    "p99=" + std::to_string(p99) + " extra_paints=" + std::to_string(extraPaints)
                            + " unlock_retries=" + std::to_string(unlockRetries()));
    printResultLine("raise_latency_p99", "ms", { p99 });
    lockapp.terminate();
    return 0;
}

// Peak resident memory over one lock cycle (start, LCDOff, LCDOn, three
// frames, Return, star, hidden): VmHWM from /proc before the end, and the
// maximum resident set size of the ended process (wait4's rusage, what
// /usr/bin/time -v reports), both in MiB.
MemoryPeak peakOverLockCycle(const std::string& program)
{
    ChildProcess lockapp(lockappArgv(program), true);
    lockapp.expect("pix over!\n", 0);
    waitIdle(lockapp.pid());
    size_t mark = lockapp.size();
    sendOverBus("LCDOff");
    lockapp.expect("\npaint over\n", mark);
    mark = lockapp.size();
    sendOverBus("LCDOn");
    auto frame = lockapp.expect("\nLCDOn\n", mark);
    for (int f = 0; f < 3; ++f)
        frame = lockapp.expect("\npaint over\n", frame.end, 3s);
    unlock(lockapp, mark);
    std::this_thread::sleep_for(200ms);
    MemoryPeak peak;
    peak.vmHwmMiB = double(statusKb(lockapp.pid(), "VmHWM:")) / 1024.0;
    peak.maxRssMiB = double(lockapp.terminate()) / 1024.0;
    return peak;
}

int probeMemory(const std::string& program, int runs)
{
    std::vector<double> hwm, maxRss;
    for (int i = 0; i < runs; ++i) {
        const MemoryPeak peak = peakOverLockCycle(program);
        hwm.push_back(peak.vmHwmMiB);
        maxRss.push_back(peak.maxRssMiB);
        std::printf("SAMPLE memory run=%d VmHWM_MiB=%.2f maxrss_MiB=%.2f\n", i + 1, hwm.back(), maxRss.back());
        std::this_thread::sleep_for(200ms);
    }
    printResultLine("peak_rss_vmhwm", "MiB", hwm);
    printResultLine("peak_rss", "MiB", maxRss);
    return 0;
}
