#pragma once

#include <QtGlobal>

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using ProbeClock = std::chrono::steady_clock;

double msBetween(ProbeClock::time_point from, ProbeClock::time_point to);
// The real wall clock, in milliseconds since the epoch, at a moment of ProbeClock.
qint64 wallMsAt(ProbeClock::time_point at);
[[noreturn]] void probeDie(const std::string& text);

// A spawned process, its standard output read and time-stamped by a thread
// as each chunk arrives, so a line's time is when the process wrote it.
class ChildProcess
{
public:
    struct Match
    {
        size_t end;  // offset just past the matched text
        ProbeClock::time_point at;
    };

    // env: "NAME=value" entries added to (or replacing in) this process's environment.
    ChildProcess(const std::vector<std::string>& argv, bool captureOutput, const std::vector<std::string>& env = {});
    ~ChildProcess();
    Q_DISABLE_COPY_MOVE(ChildProcess)

    pid_t pid() const { return m_pid; }
    ProbeClock::time_point spawnedAt() const { return m_spawnedAt; }
    size_t size();
    // Everything read so far.
    std::string text();

    // The first occurrence of needle at or after offset from, and when its
    // last byte arrived; waits up to timeout for it.
    std::optional<Match> waitFor(const std::string& needle, size_t from, std::chrono::milliseconds timeout);
    // As waitFor, but ends the probe when the text does not come.
    Match expect(const std::string& needle, size_t from,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    size_t count(const std::string& needle, size_t from, size_t to);
    // Waits for the end of the output, then for the process.
    int waitForExit();
    // Ends the process with SIGTERM and returns its peak resident set in kB.
    long terminate();

private:
    long reap(int* status = nullptr);
    void readLoop();

    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_fd = -1;
    ProbeClock::time_point m_spawnedAt;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_text;
    std::vector<std::pair<size_t, ProbeClock::time_point>> m_chunks;
    bool m_eof = false;
};

// Runs a helper to its end and returns its standard output.
std::string runToEnd(const std::vector<std::string>& argv, int* exitCode = nullptr);

// A process's context switches, from /proc: the voluntary ones of its main
// thread (how often it slept), the voluntary ones of all its threads (how
// often any of them slept: not counting being pre-empted on a busy machine),
// or both kinds over all its threads (every wake-up of the process). -1 when
// the process cannot be read.
enum class SwitchCount { MainThreadSleeps, AllThreadsSleeps, AllWakeUps };
qint64 contextSwitches(pid_t pid, SwitchCount what);
