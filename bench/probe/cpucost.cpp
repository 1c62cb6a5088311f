// What waiting with the lock screen up costs: CPU time of every thread
// (/proc/PID/task/*/schedstat) of lockapp and of the clients and X servers it
// is compared with, all measured over the same windows of time.
#include "modes.h"

#include "benchstats.h"
#include "procfs.h"
#include "harness/headlesssession.h"

#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <tuple>

using namespace std::chrono_literals;

namespace {

struct Watched
{
    const char* name;
    pid_t pid;
};

// CPU of each watched process over `seconds`, sampled every 10 s; returns
// ms of CPU per minute per sub-window, one vector per process.
std::vector<std::vector<double>> cpuPerMinute(const std::vector<Watched>& watched, int seconds)
{
    const int step = std::min(10, seconds);
    std::vector<std::vector<double>> perMinute(watched.size());
    std::vector<double> last(watched.size());
    std::vector<int> threads(watched.size());
    for (size_t i = 0; i < watched.size(); ++i)
        std::tie(last[i], threads[i]) = processCpuNs(watched[i].pid);
    ProbeClock::time_point lastAt = ProbeClock::now();
    for (int done = 0; done + step <= seconds; done += step) {
        std::this_thread::sleep_until(lastAt + std::chrono::seconds(step));
        const ProbeClock::time_point now = ProbeClock::now();
        for (size_t i = 0; i < watched.size(); ++i) {
            const auto [cpu, n] = processCpuNs(watched[i].pid);
            if (n != threads[i])
                std::printf("SAMPLE note: %s has %d threads, had %d\n", watched[i].name, n, threads[i]);
            perMinute[i].push_back((cpu - last[i]) / 1e6 * 60000.0 / msBetween(lastAt, now));
            last[i] = cpu;
            threads[i] = n;
        }
        lastAt = now;
    }
    return perMinute;
}

void reportWaiting(const char* phase, const std::vector<Watched>& watched, const std::vector<std::vector<double>>& perMinute)
{
    for (size_t i = 0; i < watched.size(); ++i) {
        double total = 0;
        for (double v : perMinute[i])
            total += v;
        const double mean = total / double(perMinute[i].size());
        std::printf("SAMPLE wait %s %s ms_cpu_per_min windows=", phase, watched[i].name);
        for (double v : perMinute[i])
            std::printf("%.2f,", v);
        std::printf(" whole=%.2f\n", mean);
        printResultLine(std::string("wait_") + phase + "_" + watched[i].name, "ms/min", perMinute[i],
                        "whole=" + std::to_string(mean));
    }
    // Ratios to xclock (watched[1]) and of the plain widget to xclock, per
    // sub-window and over the whole window.
    for (size_t i : { size_t(0), size_t(2) }) {
        if (i >= watched.size())
            continue;
        std::vector<double> ratios;
        double a = 0, b = 0;
        for (size_t w = 0; w < perMinute[i].size(); ++w) {
            ratios.push_back(perMinute[i][w] / perMinute[1][w]);
            a += perMinute[i][w];
            b += perMinute[1][w];
        }
        printResultLine(std::string("wait_") + phase + "_" + watched[i].name + "_over_xclock", "x", ratios,
                        "whole=" + std::to_string(a / b));
    }
}

// A message on the system channel, over `bus` (null: the session bus).
void sendOn(const char* message, const PrivateBus* bus)
{
    if (bus)
        sendOverBus(message, bus->connection());
    else
        sendOverBus(message);
}

// Raises a lock window with the display on: LCDOff, then LCDOn, and waits
// for its frame after each.
void raiseWithDisplayOn(ChildProcess& lockapp, const PrivateBus* bus = nullptr)
{
    const size_t off = lockapp.size();
    sendOn("LCDOff", bus);
    lockapp.expect("\npaint over\n", off);
    const size_t mark = lockapp.size();
    sendOn("LCDOn", bus);
    const auto on = lockapp.expect("\nLCDOn\n", mark);
    lockapp.expect("\npaint over\n", on.end);
}

// Puts a raised lock screen's display off: it stops ticking and wakes no more.
void darken(ChildProcess& lockapp, const PrivateBus* bus = nullptr)
{
    const size_t mark = lockapp.size();
    sendOn("LCDOff", bus);
    lockapp.expect("\nLCDOff\n", mark);
}

} // namespace

// lockapp, `xclock -analog -update 1` and PLAINCLOCK (a plain Qt widget that
// repaints every second), all on the same X server at once: SECONDS raised
// with the display on, then SECONDS hidden after an unlock. Expects a 720x320
// screen: the three 240x320 windows side by side.
int probeWaiting(const std::string& program, int seconds, const std::string& plainclock)
{
    ChildProcess lockapp({ program }, true);
    lockapp.expect("pix over!\n", 0);
    waitIdle(lockapp.pid());
    // The lock window, a fixed 240x320 window on a screen larger than the
    // phone's, sits at the left.
    ChildProcess xclock({ "xclock", "-analog", "-update", "1", "-geometry", "240x320+240+0" }, false);
    ChildProcess plain({ plainclock, "480", "0" }, false);
    std::this_thread::sleep_for(1500ms);

    size_t mark = lockapp.size();
    raiseWithDisplayOn(lockapp);
    waitVisible();
    std::this_thread::sleep_for(1500ms);

    const std::vector<Watched> watched = { { "lockapp", lockapp.pid() }, { "xclock", xclock.pid() },
                                           { "plainclock", plain.pid() } };
    const size_t raisedFrom = lockapp.size();
    const auto raised = cpuPerMinute(watched, seconds);
    const size_t frames = lockapp.count("\npaint over\n", raisedFrom, lockapp.size());
    std::printf("SAMPLE wait raised frames=%zu in %d s\n", frames, seconds);
    reportWaiting("raised", watched, raised);

    mark = raisedFrom;
    unlock(lockapp, mark);
    // Past the unlock time-out, whose repaint request a hidden window ignores.
    std::this_thread::sleep_for(4s);
    const size_t hiddenFrom = lockapp.size();
    const auto hidden = cpuPerMinute(watched, seconds);
    std::printf("SAMPLE wait hidden frames=%zu in %d s\n", lockapp.count("\npaint over\n", hiddenFrom, lockapp.size()),
                seconds);
    reportWaiting("hidden", watched, hidden);

    const long hwm = statusKb(lockapp.pid(), "VmHWM:");
    const long maxRss = lockapp.terminate();
    std::printf("SAMPLE wait lockapp VmHWM_kB=%ld maxrss_kB=%ld after %d s raised and %d s hidden\n", hwm, maxRss,
                seconds, seconds);
    return 0;
}

namespace {

// CPU (ns) and wake-ups of each thread of a process, keyed by thread id order.
struct Snapshot
{
    std::vector<ThreadCpu> threads;
    double total() const
    {
        double sum = 0;
        for (const ThreadCpu& t : threads)
            sum += t.cpuNs;
        return sum;
    }
};

double perMinute(double ns, double ms)
{
    return ns / 1e6 * 60000.0 / ms;
}

// phoc headless with one output of the phone's size, on a runtime folder of
// its own: the Wayland compositor lockapp is measured under.
class HeadlessPhoc
{
public:
    HeadlessPhoc()
    {
        if (!m_runtime.isValid())
            probeDie("cannot make phoc's runtime folder");
        const std::string runtime = m_runtime.path().toStdString();
        const std::string config = runtime + "/phoc.ini";
        if (FILE* file = std::fopen(config.c_str(), "w")) {
            std::fputs("[core]\nxwayland = immediate\n\n[output:HEADLESS-1]\nmode = 240x320\n", file);
            std::fclose(file);
        }
        m_compositor = std::make_unique<ChildProcess>(
            std::vector<std::string>{ "phoc", "-C", config }, false,
            std::vector<std::string>{ "XDG_RUNTIME_DIR=" + runtime, "WLR_BACKENDS=headless",
                                      "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman",
                                      "WLR_XWAYLAND=" + runtime + "/no-xwayland" });
        m_socket = runtime + "/wayland-0";
        for (int i = 0; i < 200 && access(m_socket.c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(50ms);
        if (access(m_socket.c_str(), F_OK) != 0)
            probeDie("phoc did not start");
    }
    // For WAYLAND_DISPLAY: the socket's full path.
    const std::string& socket() const { return m_socket; }
    pid_t pid() const { return m_compositor->pid(); }

private:
    QTemporaryDir m_runtime;
    std::unique_ptr<ChildProcess> m_compositor;
    std::string m_socket;
};

// CPU per minute of each of `pids` over `seconds`, and lockapp's frames.
struct SystemWindow
{
    std::vector<double> cpu;
    std::vector<Snapshot> before;
    std::vector<Snapshot> after;
    double ms = 0;
    size_t frames = 0;
};

SystemWindow measureWindow(const std::vector<pid_t>& pids, ChildProcess& lockapp, int seconds)
{
    SystemWindow window;
    for (pid_t pid : pids)
        window.before.push_back({ threadsOf(pid) });
    const size_t framesFrom = lockapp.size();
    const ProbeClock::time_point from = ProbeClock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    for (pid_t pid : pids)
        window.after.push_back({ threadsOf(pid) });
    window.ms = msBetween(from, ProbeClock::now());
    window.frames = lockapp.count("\npaint over\n", framesFrom, lockapp.size());
    for (size_t i = 0; i < pids.size(); ++i)
        window.cpu.push_back(perMinute(window.after[i].total() - window.before[i].total(), window.ms));
    return window;
}

// Raises `lockapp` with the display on, lets it settle, measures `pids`
// over `seconds` and puts its display off again.
SystemWindow measureLit(ChildProcess& lockapp, const PrivateBus* bus, const std::vector<pid_t>& pids, int seconds)
{
    raiseWithDisplayOn(lockapp, bus);
    std::this_thread::sleep_for(1500ms);
    SystemWindow window = measureWindow(pids, lockapp, seconds);
    darken(lockapp, bus);
    return window;
}

} // namespace

int probeSystem(const std::string& program, int seconds, int runs)
{
    std::map<std::string, std::vector<double>> figures;
    for (int run = 1; run <= runs; ++run) {
        Xvfb lockappServer;
        Xvfb xclockServer;
        // One lock screen per session: the offscreen one on a bus of its own.
        PrivateBus offscreenBus;
        ChildProcess lockapp({ program }, true, { "DISPLAY=" + lockappServer.display(), "QT_QPA_PLATFORM=xcb" });
        ChildProcess offscreen({ program }, true,
                               { "QT_QPA_PLATFORM=offscreen", "DBUS_SESSION_BUS_ADDRESS=" + offscreenBus.address() });
        ChildProcess xclock({ "xclock", "-analog", "-update", "1", "-geometry", "240x320+0+0" }, false,
                            { "DISPLAY=" + xclockServer.display() });
        // And under a Wayland compositor, through lockapp's own connection.
        HeadlessPhoc phoc;
        PrivateBus waylandBus;
        ChildProcess wayland({ program }, true,
                             { "QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY=" + phoc.socket(),
                               "DBUS_SESSION_BUS_ADDRESS=" + waylandBus.address() });
        lockapp.expect("pix over!\n", 0);
        offscreen.expect("pix over!\n", 0);
        wayland.expect("pix over!\n", 0);
        waitIdle(lockapp.pid());
        waitIdle(offscreen.pid());
        waitIdle(wayland.pid());

        // One lock screen lit at a time beside xclock, each in a window of
        // its own: three lit at once would wake in the same millisecond
        // each second and fight over two cores and their caches, which
        // counts against each of them. The others are raised with the
        // display off meanwhile, where they do not wake at all.
        const SystemWindow x11 = measureLit(lockapp, nullptr,
                                            { lockapp.pid(), lockappServer.pid(), xclock.pid(), xclockServer.pid() },
                                            seconds);
        const SystemWindow bare = measureLit(offscreen, &offscreenBus,
                                             { offscreen.pid(), xclock.pid(), xclockServer.pid() }, seconds);
        const SystemWindow wl = measureLit(wayland, &waylandBus, { wayland.pid(), phoc.pid() }, seconds);
        // phoc costs something with no frame coming (a second phoc's cost
        // swung 160-350 ms a minute between runs): the same phoc with the
        // lock screen raised dark is what the frames are counted from.
        std::this_thread::sleep_for(1500ms);
        const SystemWindow wlDark = measureWindow({ wayland.pid(), phoc.pid() }, wayland, seconds);

        const std::vector<double>& cpu = x11.cpu;
        const double lockappTotal = cpu[0] + cpu[1];
        const double xclockTotal = cpu[2] + cpu[3];
        const double xclockTotalBesideOffscreen = bare.cpu[1] + bare.cpu[2];
        const double waylandAdded = wl.cpu[0] + wl.cpu[1] - wlDark.cpu[0] - wlDark.cpu[1];
        const std::map<std::string, double> sample = {
            { "system_lockapp_client", cpu[0] },
            { "system_lockapp_server", cpu[1] },
            { "system_lockapp_total", lockappTotal },
            { "system_xclock_client", cpu[2] },
            { "system_xclock_server", cpu[3] },
            { "system_xclock_total", xclockTotal },
            { "system_offscreen", bare.cpu[0] },
            { "system_offscreen_xclock_total", xclockTotalBesideOffscreen },
            { "system_total_over_xclock", lockappTotal / xclockTotal },
            { "system_client_over_xclock", cpu[0] / cpu[2] },
            { "system_offscreen_over_xclock", bare.cpu[0] / xclockTotalBesideOffscreen },
            { "system_wayland_client", wl.cpu[0] },
            { "system_wayland_compositor", wl.cpu[1] },
            { "system_wayland_dark_total", wlDark.cpu[0] + wlDark.cpu[1] },
            { "system_wayland_total", wl.cpu[0] + wl.cpu[1] },
            { "system_wayland_added", waylandAdded },
            { "system_wayland_added_over_xcb", waylandAdded / lockappTotal },
            { "system_frames_per_second", double(x11.frames) * 1000.0 / x11.ms },
        };
        std::printf("SAMPLE system run=%d seconds=%.1f frames=%zu offscreen_frames=%zu wayland_frames=%zu", run,
                    x11.ms / 1000.0, x11.frames, bare.frames, wl.frames);
        for (const auto& [name, value] : sample) {
            figures[name].push_back(value);
            std::printf(" %s=%.3f", name.c_str() + 7, value);
        }
        std::printf("\n");
        // Wake-ups (times given the CPU) and CPU per frame of each of
        // lockapp's threads under X.
        for (const ThreadCpu& t : x11.after[0].threads) {
            for (const ThreadCpu& b : x11.before[0].threads) {
                if (b.name != t.name)
                    continue;
                if (x11.frames > 0)
                    std::printf("SAMPLE system run=%d thread=%s wakeups_per_frame=%.2f cpu_us_per_frame=%.1f\n", run,
                                t.name.c_str(), double(t.slices - b.slices) / double(x11.frames),
                                (t.cpuNs - b.cpuNs) / 1000.0 / double(x11.frames));
                break;
            }
        }
        std::fflush(stdout);
    }
    for (const auto& [name, values] : figures)
        printResultLine(name, name.find("_over_") != std::string::npos ? "x" : "ms/min", values);
    return 0;
}
