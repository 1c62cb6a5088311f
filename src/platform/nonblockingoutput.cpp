#include "platform/nonblockingoutput.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

bool flagNotSupported(int error)
{
    // EOPNOTSUPP: a descriptor that cannot honour the flag (a terminal);
    // EINVAL or ENOSYS: a kernel that does not know it.
    return error == EOPNOTSUPP || error == EINVAL || error == ENOSYS;
}

} // namespace

NonBlockingOutput::WriteWay NonBlockingOutput::wayFor(int fd)
{
    struct stat st;
    // Writes to a file on disk do not wait for a reader, and O_NONBLOCK
    // does nothing for them.
    if (::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode)))
        return WriteWay::Plain;
    return WriteWay::NoWaitFlag;
}

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
        if (m_way == WriteWay::Unknown)
            m_way = wayFor(m_fd);
        // Pipes and sockets take a per-write flag, which costs no system call
        // of its own; a terminal does not, and gets O_NONBLOCK for the while.
        std::optional<NonBlockingWhileAlive> nonBlocking;
        if (m_way == WriteWay::FlagWhileWriting)
            nonBlocking.emplace(m_fd);
        while (written < m_pending.size()) {
            const char* data = m_pending.constData() + written;
            const size_t size = size_t(m_pending.size() - written);
            ssize_t n;
            if (m_way == WriteWay::NoWaitFlag) {
                iovec chunk { const_cast<char*>(data), size };
                n = ::pwritev2(m_fd, &chunk, 1, -1, RWF_NOWAIT);
                if (n < 0 && flagNotSupported(errno)) {
                    m_way = WriteWay::FlagWhileWriting;
                    nonBlocking.emplace(m_fd);
                    continue;
                }
            } else {
                n = ::write(m_fd, data, size);
            }
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
