#include "platform/busprobe.h"

#include <QElapsedTimer>
#include <QList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Entry
{
    QByteArray transport;
    QList<QPair<QByteArray, QByteArray>> keys;

    QByteArray value(const char* key) const
    {
        for (const auto& pair : keys) {
            if (pair.first == key)
                return pair.second;
        }
        return QByteArray();
    }
    bool has(const char* key) const
    {
        for (const auto& pair : keys) {
            if (pair.first == key)
                return true;
        }
        return false;
    }
};

// Values in D-Bus addresses escape bytes as %HH.
QByteArray unescaped(const QByteArray& value)
{
    return QByteArray::fromPercentEncoding(value);
}

QList<Entry> parseAddress(const QByteArray& address)
{
    QList<Entry> entries;
    for (const QByteArray& part : address.split(';')) {
        const qsizetype colon = part.indexOf(':');
        if (colon <= 0)
            continue;
        Entry entry;
        entry.transport = part.left(colon);
        for (const QByteArray& pair : part.mid(colon + 1).split(',')) {
            const qsizetype equals = pair.indexOf('=');
            if (equals > 0)
                entry.keys.append({ pair.left(equals), unescaped(pair.mid(equals + 1)) });
        }
        entries.append(entry);
    }
    return entries;
}

class Socket
{
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

int remainingMs(const QElapsedTimer& clock, int timeoutMs)
{
    return int(qMax<qint64>(0, timeoutMs - clock.elapsed()));
}

bool waitFor(int fd, short events, const QElapsedTimer& clock, int timeoutMs)
{
    for (;;) {
        pollfd pfd = { fd, events, 0 };
        const int n = ::poll(&pfd, 1, remainingMs(clock, timeoutMs));
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0 && (pfd.revents & events);
    }
}

// Connects without blocking past the deadline; -1 on failure.
int connectWithin(int family, const sockaddr* address, socklen_t length, const QElapsedTimer& clock,
                  int timeoutMs)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, address, length) == 0)
        return fd;
    if (errno == EINPROGRESS || errno == EAGAIN) {
        int error = 0;
        socklen_t size = sizeof error;
        if (waitFor(fd, POLLOUT, clock, timeoutMs) && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0
            && error == 0)
            return fd;
    }
    ::close(fd);
    return -1;
}

int connectEntry(const Entry& entry, const QElapsedTimer& clock, int timeoutMs, QString* why)
{
    if (entry.transport == "unix" && (entry.has("path") || entry.has("abstract"))) {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const bool abstract = !entry.has("path");
        const QByteArray name = abstract ? entry.value("abstract") : entry.value("path");
        const size_t offset = abstract ? 1 : 0;
        if (name.isEmpty() || size_t(name.size()) + offset >= sizeof address.sun_path) {
            *why = QStringLiteral("unusable socket name");
            return -1;
        }
        std::memcpy(address.sun_path + offset, name.constData(), size_t(name.size()));
        const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + size_t(name.size()));
        const int fd = connectWithin(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length, clock, timeoutMs);
        if (fd < 0)
            *why = QString::fromLocal8Bit(std::strerror(errno));
        return fd;
    }
    if (entry.transport == "tcp" && entry.has("port")) {
        addrinfo hints = {};
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const QByteArray host = entry.has("host") ? entry.value("host") : QByteArray("localhost");
        if (::getaddrinfo(host.constData(), entry.value("port").constData(), &hints, &found) != 0 || !found) {
            *why = QStringLiteral("unknown host");
            return -1;
        }
        int fd = -1;
        for (addrinfo* info = found; info && fd < 0; info = info->ai_next)
            fd = connectWithin(info->ai_family, info->ai_addr, info->ai_addrlen, clock, timeoutMs);
        ::freeaddrinfo(found);
        if (fd < 0)
            *why = QStringLiteral("connection refused or timed out");
        return fd;
    }
    *why = QStringLiteral("transport \"%1\" is not tried").arg(QString::fromLatin1(entry.transport));
    return -1;
}

// The client's first step of the handshake; any line back means the bus is
// there and running.
bool answersHandshake(int fd, const QElapsedTimer& clock, int timeoutMs)
{
    const QByteArray uid = QByteArray::number(qulonglong(::getuid()));
    const QByteArray hello = QByteArray(1, '\0') + "AUTH EXTERNAL " + uid.toHex() + "\r\n";
    qsizetype sent = 0;
    while (sent < hello.size()) {
        if (!waitFor(fd, POLLOUT, clock, timeoutMs))
            return false;
        const ssize_t n = ::send(fd, hello.constData() + sent, size_t(hello.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    QByteArray reply;
    while (!reply.contains("\r\n")) {
        if (!waitFor(fd, POLLIN, clock, timeoutMs))
            return false;
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        reply.append(buffer, n);
    }
    return reply.startsWith("OK ") || reply.startsWith("REJECTED");
}

} // namespace

bool busAnswers(const QByteArray& address, int timeoutMs, QString* why)
{
    QString reason = QStringLiteral("no usable address");
    QElapsedTimer clock;
    clock.start();
    for (const Entry& entry : parseAddress(address)) {
        const Socket socket(connectEntry(entry, clock, timeoutMs, &reason));
        if (socket.fd() < 0)
            continue;
        if (answersHandshake(socket.fd(), clock, timeoutMs))
            return true;
        reason = QStringLiteral("no answer within %1 ms").arg(timeoutMs);
    }
    if (why)
        *why = reason;
    return false;
}
