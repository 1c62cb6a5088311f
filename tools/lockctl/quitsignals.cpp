#include "quitsignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int quitSignals[] = { SIGTERM, SIGINT, SIGHUP };

// Self-pipe: the handler only writes a byte; the event loop reads it.
int quitPipe[2] = { -1, -1 };
volatile sig_atomic_t quitArrived = 0;
struct sigaction previous[std::size(quitSignals)];

extern "C" void onQuitSignal(int signalNumber)
{
    const int savedErrno = errno;
    quitArrived = 1;
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] ssize_t written = ::write(quitPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent)
{
    if (quitPipe[0] < 0 && ::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    quitArrived = 0;
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(quitSignals); ++i)
        ::sigaction(quitSignals[i], &action, &previous[i]);
    m_notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::onReadable);
}

QuitSignals::~QuitSignals()
{
    if (m_notifier == nullptr)
        return;
    for (std::size_t i = 0; i < std::size(quitSignals); ++i)
        ::sigaction(quitSignals[i], &previous[i], nullptr);
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
