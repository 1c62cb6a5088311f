// Whole-process figures of the real lockapp, run under an X server (DISPLAY)
// on a session bus (DBUS_SESSION_BUS_ADDRESS) that the caller provides;
// scripts/bench starts both. Every time is taken here with the monotonic
// clock; lockapp's standard output is read by a thread that stamps each chunk
// as it arrives, so a line's time is when lockapp wrote it.
//
//   benchprobe startup PROGRAM RUNS
//       From just before the process is spawned until its main thread is
//       asleep in the event loop's poll after "pix over!" (the window is
//       built, the loop runs with the window hidden) and stays asleep for
//       100 ms. Also the time to "pix over!".
//   benchprobe raise PROGRAM CYCLES
//       From just before "LCDOff" is handed to the bus until "\npaint over"
//       is written. Each cycle is a real raise: the window is checked hidden
//       before and visible after, then unlocked with Return and the keypad
//       star typed through the X server.
//   benchprobe wait PROGRAM SECONDS PLAINCLOCK
//       CPU time of all threads (/proc/PID/task/*/schedstat) of lockapp,
//       `xclock -analog -update 1` and PLAINCLOCK (a plain Qt widget that
//       repaints every second), all on the same X server at once: SECONDS
//       raised with the display on, then SECONDS hidden after an unlock.
//       Expects a 720x320 screen: the three 240x320 windows side by side.
//   benchprobe memory PROGRAM RUNS
//       Peak resident memory over one lock cycle (start, LCDOff, LCDOn, three
//       frames, Return, star, hidden): VmHWM from /proc before the end, and
//       the maximum resident set size of the ended process (wait4's rusage,
//       what /usr/bin/time -v reports).
//
// Output: lines "RESULT name unit median min max [extra...]" for
// scripts/bench, and "SAMPLE ..." lines with the single measurements.
#include "platform/qcopchannel.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

[[noreturn]] void die(const std::string& text)
{
    std::fprintf(stderr, "benchprobe: %s\n", text.c_str());
    std::fflush(stdout);
    std::exit(1);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0.0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// Nearest-rank percentile: the smallest value with at least p% of the values
// at or below it.
double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return 0.0;
    size_t rank = static_cast<size_t>(std::ceil(p / 100.0 * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

void printResult(const char* name, const char* unit, const std::vector<double>& values, const std::string& extra = {})
{
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("RESULT %s %s %.4g %.4g %.4g %zu%s%s\n", name, unit, median(values), *low, *high, values.size(),
                extra.empty() ? "" : " ", extra.c_str());
    std::fflush(stdout);
}

// A spawned process, its standard output read and time-stamped by a thread.
class Child
{
public:
    struct Match
    {
        size_t end;  // offset just past the matched text
        Clock::time_point at;
    };

    Child(const std::vector<std::string>& argv, bool captureOutput)
    {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);

        int pipeFds[2] = { -1, -1 };
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (captureOutput) {
            if (::pipe2(pipeFds, O_CLOEXEC) != 0)
                die("pipe failed");
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        }
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        spawnedAt = Clock::now();
        const int rc = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            die("cannot start " + argv[0] + ": " + std::strerror(rc));
        if (captureOutput) {
            ::close(pipeFds[1]);
            m_fd = pipeFds[0];
            m_reader = std::thread([this] { readLoop(); });
        }
    }

    ~Child()
    {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGTERM);
            reap();
        }
        if (m_reader.joinable())
            m_reader.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }

    pid_t pid() const { return m_pid; }

    size_t size()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text.size();
    }

    // The first occurrence of needle starting at or after offset from, and
    // when its last byte arrived; waits up to timeout for it.
    std::optional<Match> waitFor(const std::string& needle, size_t from, std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto deadline = Clock::now() + timeout;
        const auto find = [&]() -> std::optional<Match> {
            const size_t pos = m_text.find(needle, from);
            if (pos == std::string::npos)
                return std::nullopt;
            const size_t end = pos + needle.size();
            // The chunk that brought the last byte.
            for (const auto& [chunkEnd, at] : m_chunks) {
                if (chunkEnd >= end)
                    return Match { end, at };
            }
            return std::nullopt;
        };
        for (;;) {
            if (const auto match = find())
                return match;
            if (m_eof)
                return std::nullopt;
            if (m_cv.wait_until(lock, deadline) == std::cv_status::timeout)
                return find();
        }
    }

    Match expect(const std::string& needle, size_t from, std::chrono::milliseconds timeout = 10s)
    {
        const auto match = waitFor(needle, from, timeout);
        if (!match)
            die("\"" + printable(needle) + "\" did not appear in the output of pid " + std::to_string(m_pid));
        return *match;
    }

    size_t count(const std::string& needle, size_t from, size_t to)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t n = 0;
        for (size_t pos = m_text.find(needle, from); pos != std::string::npos && pos + needle.size() <= to;
             pos = m_text.find(needle, pos + needle.size()))
            ++n;
        return n;
    }

    // Ends the process with SIGTERM and returns its peak resident set in kB.
    long terminate()
    {
        ::kill(m_pid, SIGTERM);
        return reap();
    }

    Clock::time_point spawnedAt;

private:
    static std::string printable(const std::string& s)
    {
        std::string out;
        for (char c : s)
            out += c == '\n' ? std::string("\\n") : std::string(1, c);
        return out;
    }

    long reap()
    {
        int status = 0;
        struct rusage usage = {};
        if (::wait4(m_pid, &status, 0, &usage) == m_pid)
            m_reaped = true;
        return usage.ru_maxrss;
    }

    void readLoop()
    {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            const Clock::time_point at = Clock::now();
            std::lock_guard<std::mutex> lock(m_mutex);
            if (n <= 0) {
                m_eof = true;
                m_cv.notify_all();
                return;
            }
            m_text.append(buffer, size_t(n));
            m_chunks.emplace_back(m_text.size(), at);
            m_cv.notify_all();
        }
    }

    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_fd = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_text;
    std::vector<std::pair<size_t, Clock::time_point>> m_chunks;
    bool m_eof = false;
};

// Runs a helper to its end and returns its standard output.
std::string run(const std::vector<std::string>& argv, int* exitCode = nullptr)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        die("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0)
        die("cannot run " + argv[0] + ": " + std::strerror(rc));
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (exitCode)
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string lockWindow()
{
    std::string out = run({ "xdotool", "search", "--onlyvisible", "--class", "^lockapp$" });
    const size_t end = out.find('\n');
    return end == std::string::npos ? out : out.substr(0, end);
}

std::string waitVisible()
{
    for (int i = 0; i < 500; ++i) {
        std::string window = lockWindow();
        if (!window.empty())
            return window;
        std::this_thread::sleep_for(10ms);
    }
    die("the lock window did not appear");
}

void send(const char* message)
{
    if (!QCopChannel::send("EZX/System", message))
        die(std::string("cannot send ") + message + " on the session bus");
}

bool hiddenWithin(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    do {
        if (lockWindow().empty())
            return true;
        std::this_thread::sleep_for(10ms);
    } while (Clock::now() < deadline);
    return false;
}

int unlockRetries = 0;

// Return (arms), then the keypad star (unlocks), typed through the X server.
// An earlier cycle's unlock time-out may disarm the key between the two (every
// pending time-out clears the armed state): then the pair is typed again.
void unlock(Child& lockapp, size_t from)
{
    const std::string window = waitVisible();
    run({ "xdotool", "windowfocus", "--sync", window });
    for (int attempt = 0; attempt < 5; ++attempt) {
        const size_t mark = std::max(from, lockapp.size());
        run({ "xdotool", "key", "--clearmodifiers", "Return" });
        lockapp.expect("keyCode:4100\n", mark);
        run({ "xdotool", "key", "--clearmodifiers", "KP_Multiply" });
        lockapp.expect("keyCode:42\n", mark);
        if (hiddenWithin(500ms))
            return;
        ++unlockRetries;
    }
    die("the lock window did not disappear after five unlocks");
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// CPU time of every thread of a process, in ns, and how many threads.
std::pair<double, int> cpuNs(pid_t pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    int threads = 0;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            const std::string stat = readFile(dir + "/" + e->d_name + "/schedstat");
            if (!stat.empty()) {
                total += std::strtod(stat.c_str(), nullptr);
                ++threads;
            }
        }
        ::closedir(d);
    }
    return { total, threads };
}

long statusKb(pid_t pid, const char* field)
{
    std::istringstream in(readFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return -1;
}

// The main thread asleep in poll/ppoll (the event loop waiting), and how
// many times it has been scheduled so far.
struct MainThread
{
    bool asleepInPoll = false;
    unsigned long long slices = 0;
};

MainThread mainThread(pid_t pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    MainThread t;
    const std::string stat = readFile(dir + "/stat");
    const size_t paren = stat.rfind(')');
    const char state = paren != std::string::npos && paren + 2 < stat.size() ? stat[paren + 2] : '?';
    const long call = std::strtol(readFile(dir + "/syscall").c_str(), nullptr, 10);
    t.asleepInPoll = state == 'S' && (call == 7 /* poll */ || call == 271 /* ppoll */);
    std::istringstream sched(readFile(dir + "/schedstat"));
    unsigned long long runNs = 0, waitNs = 0;
    sched >> runNs >> waitNs >> t.slices;
    return t;
}

// When the main thread went to sleep in the event loop for good: the first
// sample that found it asleep in poll, provided it then stays asleep (not
// scheduled at all) for `quiet`.
Clock::time_point waitIdle(pid_t pid, std::chrono::milliseconds quiet = 100ms)
{
    const auto deadline = Clock::now() + 10s;
    bool asleep = false;
    Clock::time_point since;
    unsigned long long slices = 0;
    while (Clock::now() < deadline) {
        const Clock::time_point now = Clock::now();
        const MainThread t = mainThread(pid);
        if (t.asleepInPoll && asleep && t.slices == slices) {
            if (now - since >= quiet)
                return since;
        } else if (t.asleepInPoll) {
            asleep = true;
            since = now;
            slices = t.slices;
        } else {
            asleep = false;
        }
        std::this_thread::sleep_for(200us);
    }
    die("the event loop of pid " + std::to_string(pid) + " did not go idle");
}

std::vector<std::string> lockappArgv(const std::string& program)
{
    return { program };
}

int startup(const std::string& program, int runs)
{
    std::vector<double> toIdle, toPix;
    for (int i = 0; i < runs; ++i) {
        Child lockapp(lockappArgv(program), true);
        const auto pix = lockapp.expect("pix over!\n", 0);
        const auto idle = waitIdle(lockapp.pid());
        toPix.push_back(msBetween(lockapp.spawnedAt, pix.at));
        toIdle.push_back(msBetween(lockapp.spawnedAt, idle));
        std::printf("SAMPLE startup run=%d pix_over_ms=%.2f loop_idle_ms=%.2f\n", i + 1, toPix.back(), toIdle.back());
        lockapp.terminate();
        std::this_thread::sleep_for(200ms);
    }
    printResult("startup_pix_over", "ms", toPix);
    printResult("startup", "ms", toIdle);
    return 0;
}

int raise(const std::string& program, int cycles)
{
    Child lockapp(lockappArgv(program), true);
    lockapp.expect("pix over!\n", 0);
    waitIdle(lockapp.pid());
    std::vector<double> latency;
    int extraPaints = 0;
    for (int i = 0; i < cycles; ++i) {
        if (!lockWindow().empty())
            die("the lock window is visible before LCDOff");
        const size_t mark = lockapp.size();
        const Clock::time_point sent = Clock::now();
        send("LCDOff");
        const auto painted = lockapp.expect("\npaint over\n", mark, 5s);
        latency.push_back(msBetween(sent, painted.at));
        waitVisible();
        // Paints of the raise beyond the first (before the keys).
        extraPaints += int(lockapp.count("\npaint over\n", mark, lockapp.size())) - 1;
        std::printf("SAMPLE raise cycle=%d ms=%.3f\n", i + 1, latency.back());
        unlock(lockapp, mark);
        std::this_thread::sleep_for(30ms);
    }
    const std::string extra = "p99=" + std::to_string(percentile(latency, 99)) + " extra_paints="
            + std::to_string(extraPaints) + " unlock_retries=" + std::to_string(unlockRetries);
    printResult("raise_latency", "ms", latency, extra);
    std::printf("RESULT raise_latency_p99 ms %.4g %.4g %.4g %zu\n", percentile(latency, 99),
                percentile(latency, 99), percentile(latency, 99), latency.size());
    lockapp.terminate();
    return 0;
}

struct Watched
{
    const char* name;
    Child* child;
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
        std::tie(last[i], threads[i]) = cpuNs(watched[i].child->pid());
    Clock::time_point lastAt = Clock::now();
    for (int done = 0; done + step <= seconds; done += step) {
        std::this_thread::sleep_until(lastAt + std::chrono::seconds(step));
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < watched.size(); ++i) {
            const auto [cpu, n] = cpuNs(watched[i].child->pid());
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
        const std::string name = std::string("wait_") + phase + "_" + watched[i].name;
        printResult(name.c_str(), "ms/min", perMinute[i], "whole=" + std::to_string(mean));
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
        const std::string name = std::string("wait_") + phase + "_" + watched[i].name + "_over_xclock";
        printResult(name.c_str(), "x", ratios, "whole=" + std::to_string(a / b));
    }
}

int waiting(const std::string& program, int seconds, const std::string& plainclock)
{
    Child lockapp(lockappArgv(program), true);
    lockapp.expect("pix over!\n", 0);
    waitIdle(lockapp.pid());
    // Side by side on a 720x320 screen; the lock window, a fixed 240x320
    // window on a screen larger than the phone's, sits at the left.
    Child xclock({ "xclock", "-analog", "-update", "1", "-geometry", "240x320+240+0" }, false);
    Child plain({ plainclock, "480", "0" }, false);
    std::this_thread::sleep_for(1500ms);

    size_t mark = lockapp.size();
    send("LCDOff");
    lockapp.expect("\npaint over\n", mark);
    waitVisible();
    mark = lockapp.size();
    send("LCDOn");
    const auto on = lockapp.expect("\nLCDOn\n", mark);
    lockapp.expect("\npaint over\n", on.end);
    std::this_thread::sleep_for(1500ms);

    const std::vector<Watched> watched = { { "lockapp", &lockapp }, { "xclock", &xclock }, { "plainclock", &plain } };
    const size_t raisedFrom = lockapp.size();
    const auto raised = cpuPerMinute(watched, seconds);
    const size_t frames = lockapp.count("\npaint over\n", raisedFrom, lockapp.size());
    std::printf("SAMPLE wait raised frames=%zu in %d s\n", frames, seconds);
    reportWaiting("raised", watched, raised);

    unlock(lockapp, raisedFrom);
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

int memory(const std::string& program, int runs)
{
    std::vector<double> hwm, maxRss;
    for (int i = 0; i < runs; ++i) {
        Child lockapp(lockappArgv(program), true);
        lockapp.expect("pix over!\n", 0);
        waitIdle(lockapp.pid());
        size_t mark = lockapp.size();
        send("LCDOff");
        lockapp.expect("\npaint over\n", mark);
        mark = lockapp.size();
        send("LCDOn");
        auto frame = lockapp.expect("\nLCDOn\n", mark);
        for (int f = 0; f < 3; ++f)
            frame = lockapp.expect("\npaint over\n", frame.end, 3s);
        unlock(lockapp, mark);
        std::this_thread::sleep_for(200ms);
        hwm.push_back(double(statusKb(lockapp.pid(), "VmHWM:")) / 1024.0);
        maxRss.push_back(double(lockapp.terminate()) / 1024.0);
        std::printf("SAMPLE memory run=%d VmHWM_MiB=%.2f maxrss_MiB=%.2f\n", i + 1, hwm.back(), maxRss.back());
        std::this_thread::sleep_for(200ms);
    }
    printResult("peak_rss_vmhwm", "MiB", hwm);
    printResult("peak_rss", "MiB", maxRss);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: benchprobe startup|raise|memory PROGRAM COUNT\n"
                             "       benchprobe wait PROGRAM SECONDS PLAINCLOCK\n");
        return 2;
    }
    const std::string& mode = args[0];
    const std::string& program = args[1];
    const int count = args.size() > 2 ? std::atoi(args[2].c_str()) : 10;
    if (program.empty() || program[0] != '/')
        die("PROGRAM must be an absolute path (lockapp reads its folder from it)");
    if (mode == "startup")
        return startup(program, count);
    if (mode == "raise")
        return raise(program, count);
    if (mode == "memory")
        return memory(program, count);
    if (mode == "wait" && args.size() > 3)
        return waiting(program, count, args[3]);
    die("unknown mode " + mode);
}
