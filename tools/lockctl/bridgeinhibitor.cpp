#include "bridgeinhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

SleepInhibitor::SleepInhibitor(QDBusConnection systemBus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(systemBus))
{
}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

void SleepInhibitor::take()
{
    if (isHeld() || m_pending)
        return;
    if (!m_bus.isConnected()) {
        emit failed(QStringLiteral("the system bus cannot be reached"));
        return;
    }
    if (!(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing)) {
        emit failed(QStringLiteral("the system bus cannot pass file descriptors"));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("lockapp")
         << QStringLiteral("Raising the lock screen before the system sleeps") << QStringLiteral("delay");
    m_pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::onReply);
}

bool SleepInhibitor::release()
{
    if (m_pending) {
        // Its answer, should it still come, is not wanted any more.
        delete m_pending;
        m_pending = nullptr;
    }
    if (m_fd < 0)
        return false;
    ::close(m_fd);
    m_fd = -1;
    return true;
}

void SleepInhibitor::onReply(QDBusPendingCallWatcher* call)
{
    m_pending = nullptr;
    call->deleteLater();
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (reply.isError()) {
        emit failed(reply.error().message());
        return;
    }
    // The reply's descriptor is closed with the reply; keep a copy of our own,
    // so that closing it is the only thing that releases the inhibitor.
    const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        emit failed(QStringLiteral("logind's answer held no file descriptor"));
        return;
    }
    m_fd = fd;
    emit taken();
}
