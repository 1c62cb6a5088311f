// Whole-process figures of the real lockapp. Every time is taken with the
// monotonic clock; lockapp's standard output is read by a thread that stamps
// each chunk as it arrives, so a line's time is when lockapp wrote it.
//
//   benchprobe startup PROGRAM RUNS
//   benchprobe raise PROGRAM CYCLES
//   benchprobe memory PROGRAM RUNS
//   benchprobe images PROGRAM RUNS
//       under the X server of DISPLAY (scripts/bench starts one)
//   benchprobe wait PROGRAM SECONDS PLAINCLOCK
//       beside xclock and PLAINCLOCK on a 720x320 screen of DISPLAY
//   benchprobe idle PROGRAM SECONDS
//       beside xclock on a 720x320 screen of DISPLAY: hidden, dark, lit
//   benchprobe system PROGRAM SECONDS RUNS
//       lockapp and xclock each with an Xvfb of their own, and lockapp
//       offscreen: client, server and total CPU raised, RUNS times
//
// All on the session bus of DBUS_SESSION_BUS_ADDRESS. Output: lines
// "RESULT name unit median min max count [extra...]" for scripts/bench, and
// "SAMPLE ..." lines with the single measurements. The modes are described
// where they are written (probe/latency.cpp, probe/cpucost.cpp).
#include "harness/childprocess.h"
#include "probe/modes.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: benchprobe startup|raise|memory|images PROGRAM COUNT\n"
                             "       benchprobe wait PROGRAM SECONDS PLAINCLOCK\n"
                             "       benchprobe idle PROGRAM SECONDS\n"
                             "       benchprobe system PROGRAM SECONDS RUNS\n");
        return 2;
    }
    const std::string& mode = args[0];
    const std::string& program = args[1];
    const int count = args.size() > 2 ? std::atoi(args[2].c_str()) : 10;
    if (program.empty() || program[0] != '/')
        probeDie("PROGRAM must be an absolute path (lockapp reads its folder from it)");
    if (mode == "startup")
        return probeStartup(program, count);
    if (mode == "raise")
        return probeRaise(program, count);
    if (mode == "memory")
        return probeMemory(program, count);
    if (mode == "images")
        return probeImageMemory(program, count);
    if (mode == "wait" && args.size() > 3)
        return probeWaiting(program, count, args[3]);
    if (mode == "idle")
        return probeIdle(program, count);
    if (mode == "system")
        return probeSystem(program, count, args.size() > 3 ? std::atoi(args[3].c_str()) : 3);
    probeDie("unknown mode " + mode);
}
