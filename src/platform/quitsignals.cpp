#include "platform/quitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int quitSignals[] = { SIGTERM, SIGINT, SIGHUP };

// Self-pipe: the handler only writes a byte; the event loop reads it.
int quitPipe[2] = { -1, -1 };
volatile sig_atomic_t quitArrived = 0;
struct sigaction previous[std::size(quitSignals)];

// The deadline: a timer the first signal arms, whose own signal ends the
// process. The main thread may be held up where it cannot see the pipe (a
// call into the toolkit's bus thread while a bus stalls it, a thread that
// could not be started).
timer_t endTimer {};
bool endTimerMade = false;
volatile sig_atomic_t endTimerArmed = 0;
struct itimerspec endGrace = {};
const char* endWarning = "";
std::size_t endWarningLength = 0;
struct sigaction previousAlarm;

extern "C" void onEndTimer(int)
{
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, endWarning, endWarningLength);
    ::_exit(0);
}

extern "C" void onQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    quitArrived = 1;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] ssize_t written = ::write(quitPipe[1], &byte, 1);
    if (endTimerMade && !endTimerArmed) {
        endTimerArmed = 1;
        ::timer_settime(endTimer, 0, &endGrace, nullptr);
    }
    errno = savedErrno;
}

extern "C" void onQuitSignalWithoutPipe(int)
{
    ::_exit(0);
}

void setHandlers(void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    for (std::size_t i = 0; i < std::size(quitSignals); ++i)
        ::sigaction(quitSignals[i], &action, &previous[i]);
}

void makeEndTimer(const QuitSignals::Deadline& deadline)
{
    if (endTimerMade)
        return;
    const auto grace = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.grace);
    endGrace.it_value.tv_sec = time_t(grace.count() / 1000000000);
    endGrace.it_value.tv_nsec = long(grace.count() % 1000000000);
    endWarning = deadline.warning;
    endWarningLength = std::strlen(deadline.warning);
    struct sigaction action = {};
    action.sa_handler = onEndTimer;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, &previousAlarm);
    struct sigevent expiry = {};
    expiry.sigev_notify = SIGEV_SIGNAL;
    expiry.sigev_signo = SIGALRM;
    endTimerMade = ::timer_create(CLOCK_MONOTONIC, &expiry, &endTimer) == 0;
    if (!endTimerMade)
        ::sigaction(SIGALRM, &previousAlarm, nullptr);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent)
{
    install(nullptr);
}

QuitSignals::QuitSignals(const Deadline& deadline, QObject* parent)
    : QObject(parent)
{
    install(&deadline);
}

void QuitSignals::install(const Deadline* deadline)
{
    if (quitPipe[0] < 0 && ::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (deadline) {
            setHandlers(onQuitSignalWithoutPipe, 0);
            m_installed = true;
        }
        return;
    }
    quitArrived = 0;
    if (deadline)
        makeEndTimer(*deadline);
    setHandlers(onQuitSignal, SA_RESTART);
    m_installed = true;
    m_notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::onReadable);
}

QuitSignals::~QuitSignals()
{
    if (!m_installed)
        return;
    for (std::size_t i = 0; i < std::size(quitSignals); ++i)
        ::sigaction(quitSignals[i], &previous[i], nullptr);
    // After a signal the timer stays armed: it bounds the rest of the
    // process's clean-up too.
    if (endTimerMade && !endTimerArmed) {
        ::timer_delete(endTimer);
        endTimerMade = false;
        ::sigaction(SIGALRM, &previousAlarm, nullptr);
    }
}

bool QuitSignals::hasArrived() const
{
    return quitArrived != 0;
}

void QuitSignals::onReadable()
{
    char buffer[16];
    while (::read(quitPipe[0], buffer, sizeof buffer) > 0) {
    }
    emit received();
}
