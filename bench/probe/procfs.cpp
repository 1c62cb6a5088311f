#include "procfs.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/syscall.h>

std::string readProcFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<ThreadCpu> threadsOf(pid_t pid)
{
    std::vector<ThreadCpu> threads;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            const std::string task = dir + "/" + e->d_name;
            std::istringstream stat(readProcFile(task + "/schedstat"));
            ThreadCpu t;
            unsigned long long waitNs = 0;
            if (!(stat >> t.cpuNs >> waitNs >> t.slices))
                continue;
            t.name = readProcFile(task + "/comm");
            if (!t.name.empty() && t.name.back() == '\n')
                t.name.pop_back();
            threads.push_back(t);
        }
        ::closedir(d);
    }
    return threads;
}

std::pair<double, int> processCpuNs(pid_t pid)
{
    double total = 0;
    const std::vector<ThreadCpu> threads = threadsOf(pid);
    for (const ThreadCpu& t : threads)
        total += t.cpuNs;
    return { total, int(threads.size()) };
}

long statusKb(pid_t pid, const char* field)
{
    std::istringstream in(readProcFile("/proc/" + std::to_string(pid) + "/status"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0)
            return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
    return -1;
}

namespace {

// The main thread asleep in poll/ppoll (the event loop waiting), and how
// many times it has been scheduled so far.
struct MainThread
{
    bool asleepInPoll = false;
    unsigned long long slices = 0;
};

bool isPollCall(long call)
{
#ifdef SYS_poll
    if (call == SYS_poll)
        return true;
#endif
    return call == SYS_ppoll;
}

MainThread mainThread(pid_t pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid);
    MainThread t;
    const std::string stat = readProcFile(dir + "/stat");
    const size_t paren = stat.rfind(')');
    const char state = paren != std::string::npos && paren + 2 < stat.size() ? stat[paren + 2] : '?';
    const long call = std::strtol(readProcFile(dir + "/syscall").c_str(), nullptr, 10);
    t.asleepInPoll = state == 'S' && isPollCall(call);
    std::istringstream sched(readProcFile(dir + "/schedstat"));
    unsigned long long runNs = 0, waitNs = 0;
    sched >> runNs >> waitNs >> t.slices;
    return t;
}

} // namespace

ProbeClock::time_point waitIdle(pid_t pid, std::chrono::milliseconds quiet)
{
    const auto deadline = ProbeClock::now() + std::chrono::seconds(10);
    bool asleep = false;
    ProbeClock::time_point since;
    unsigned long long slices = 0;
    while (ProbeClock::now() < deadline) {
        const ProbeClock::time_point now = ProbeClock::now();
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
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    probeDie("the event loop of pid " + std::to_string(pid) + " did not go idle");
}
