#include "harness/childprocess.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <set>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

double msBetween(ProbeClock::time_point from, ProbeClock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

qint64 wallMsAt(ProbeClock::time_point at)
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    const ProbeClock::time_point steadyNow = ProbeClock::now();
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - qint64(msBetween(at, steadyNow));
}

namespace {
// Children not yet reaped: a probe that gives up ends them, as exit() runs no
// destructor of the objects that own them.
std::mutex liveMutex;
std::set<pid_t> liveChildren;

void setLive(pid_t pid, bool live)
{
    std::lock_guard<std::mutex> lock(liveMutex);
    if (live)
        liveChildren.insert(pid);
    else
        liveChildren.erase(pid);
}
} // namespace

void probeDie(const std::string& text)
{
    {
        std::lock_guard<std::mutex> lock(liveMutex);
        for (pid_t pid : liveChildren)
            ::kill(pid, SIGTERM);
    }
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, text.c_str());
    std::fflush(stdout);
    std::exit(1);
}

namespace {

std::string printable(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

// This process's environment with the overrides applied.
std::vector<std::string> environmentWith(const std::vector<std::string>& overrides)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& o : overrides)
            replaced = replaced || o.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), overrides.begin(), overrides.end());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, bool captureOutput, const std::vector<std::string>& env)
{
    std::vector<std::string> argStrings = argv;
    std::vector<std::string> envStrings = environmentWith(env);
    std::vector<char*> args = pointers(argStrings);
    std::vector<char*> envp = pointers(envStrings);

    int pipeFds[2] = { -1, -1 };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (captureOutput) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            probeDie("pipe failed");
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    m_spawnedAt = ProbeClock::now();
    const int rc = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        probeDie("cannot start " + argv[0] + ": " + std::strerror(rc));
    setLive(m_pid, true);
    if (captureOutput) {
        ::close(pipeFds[1]);
        m_fd = pipeFds[0];
        m_reader = std::thread([this] { readLoop(); });
    }
}

ChildProcess::~ChildProcess()
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

size_t ChildProcess::size()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_text.size();
}

std::string ChildProcess::text()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_text;
}

std::optional<ChildProcess::Match> ChildProcess::waitFor(const std::string& needle, size_t from,
                                                         std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto deadline = ProbeClock::now() + timeout;
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

ChildProcess::Match ChildProcess::expect(const std::string& needle, size_t from, std::chrono::milliseconds timeout)
{
    const auto match = waitFor(needle, from, timeout);
    if (!match)
        probeDie("\"" + printable(needle) + "\" did not appear in the output of pid " + std::to_string(m_pid));
    return *match;
}

size_t ChildProcess::count(const std::string& needle, size_t from, size_t to)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t n = 0;
    for (size_t pos = m_text.find(needle, from); pos != std::string::npos && pos + needle.size() <= to;
         pos = m_text.find(needle, pos + needle.size()))
        ++n;
    return n;
}

int ChildProcess::waitForExit()
{
    if (m_reader.joinable())
        m_reader.join();
    int status = 0;
    reap(&status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long ChildProcess::terminate()
{
    ::kill(m_pid, SIGTERM);
    return reap();
}

long ChildProcess::reap(int* status)
{
    int ignored = 0;
    struct rusage usage = {};
    if (::wait4(m_pid, status ? status : &ignored, 0, &usage) == m_pid) {
        m_reaped = true;
        setLive(m_pid, false);
    }
    return usage.ru_maxrss;
}

void ChildProcess::readLoop()
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        const ProbeClock::time_point at = ProbeClock::now();
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

std::string runToEnd(const std::vector<std::string>& argv, int* exitCode)
{
    ChildProcess helper(argv, true);
    const int code = helper.waitForExit();
    if (exitCode)
        *exitCode = code;
    return helper.text();
}

namespace {
qint64 switchesOfTask(const std::string& statusPath, bool voluntaryOnly)
{
    std::ifstream status(statusPath);
    if (!status)
        return -1;
    qint64 total = 0;
    std::string line;
    while (std::getline(status, line)) {
        const bool voluntary = line.rfind("voluntary_ctxt_switches:", 0) == 0;
        const bool involuntary = line.rfind("nonvoluntary_ctxt_switches:", 0) == 0;
        if (voluntary || (involuntary && !voluntaryOnly))
            total += std::stoll(line.substr(line.find(':') + 1));
    }
    return total;
}
} // namespace

qint64 contextSwitches(pid_t pid, SwitchCount what)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task/";
    if (what == SwitchCount::MainThreadSleeps)
        return switchesOfTask(tasks + std::to_string(pid) + "/status", true);
    DIR* folder = opendir(tasks.c_str());
    if (!folder)
        return -1;
    qint64 total = 0;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        const qint64 task = switchesOfTask(tasks + entry->d_name + "/status", what == SwitchCount::AllThreadsSleeps);
        if (task > 0)
            total += task;
    }
    closedir(folder);
    return total;
}
