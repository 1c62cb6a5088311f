#include "platform/nonblockingoutput.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Sets O_NONBLOCK on the descriptor while it lives. The open file may be
// shared with other processes (a terminal with the shell that started us), so
// the flag is put back at once rather than left behind.
class NonBlockingWhileAlive
{
public:
    explicit NonBlockingWhileAlive(int fd)
        : m_fd(fd)
        , m_flags(::fcntl(fd, F_GETFL))
    {
        if (m_flags >= 0 && !(m_flags & O_NONBLOCK))
            ::fcntl(fd, F_SETFL, m_flags | O_NONBLOCK);
    }
    ~NonBlockingWhileAlive()
    {
        if (m_flags >= 0 && !(m_flags & O_NONBLOCK))
            ::fcntl(m_fd, F_SETFL, m_flags);
    }

private:
    int m_fd;
    int m_flags;
};

} // namespace

NonBlockingOutput::NonBlockingOutput(int fd, qsizetype limit)
    : m_fd(fd)
    , m_limit(limit)
{
}

NonBlockingOutput::~NonBlockingOutput()
{
    delete m_notifier.data();
}

void NonBlockingOutput::write(const QByteArray& text, int lines)
{
    if (text.isEmpty())
        return;
    if (m_pending.size() + text.size() > m_limit) {
        drop(lines);
        return;
    }
    m_pending += text;
    m_entries.push_back({ m_pending.size(), lines });
    // With a backlog waiting, the event loop writes when the descriptor is
    // ready; trying now would only fail again.
    if (m_entries.size() == 1)
        drain();
}

void NonBlockingOutput::drain()
{
    qsizetype written = 0;
    bool failed = false;
    {
        const NonBlockingWhileAlive nonBlocking(m_fd);
        while (written < m_pending.size()) {
            const ssize_t n = ::write(m_fd, m_pending.constData() + written, size_t(m_pending.size() - written));
            if (n > 0) {
                written += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                failed = !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
                break;
            }
        }
    }
    m_pending.remove(0, written);
    while (!m_entries.empty() && m_entries.front().end <= written)
        m_entries.pop_front();
    for (Entry& entry : m_entries)
        entry.end -= written;

    if (failed) {
        // EPIPE, ENOSPC, EIO...: what waits is lost, a partly written line
        // included.
        qint64 lost = 0;
        for (const Entry& entry : m_entries)
            lost += entry.lines;
        m_pending.clear();
        m_entries.clear();
        drop(lost);
    }
    watch(!m_pending.isEmpty());
}

void NonBlockingOutput::drop(qint64 lines)
{
    m_dropped += lines;
    if (m_onDrop)
        m_onDrop();
}

void NonBlockingOutput::watch(bool on)
{
    if (m_notifier) {
        m_notifier->setEnabled(on);
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    // Without an event loop in this thread, the next write tries again.
    if (!on || !app || app->thread() != QThread::currentThread())
        return;
    // A child of the application, so that it goes with the event loop it
    // belongs to.
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, app);
    QObject::connect(m_notifier.data(), &QSocketNotifier::activated, m_notifier.data(), [this] { drain(); });
}
