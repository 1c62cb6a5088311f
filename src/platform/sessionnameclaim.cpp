#include "platform/sessionnameclaim.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>

const char* const SessionNameClaim::LockScreenName = "org.lockapp.LockScreen";

SessionNameClaim::SessionNameClaim(QDBusConnection bus, const QString& name)
    : m_bus(std::move(bus))
    , m_name(name)
{
}

SessionNameClaim::Outcome SessionNameClaim::claim()
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return Outcome::NoBus;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
            m_name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return Outcome::NoBus;
    return reply.value() == QDBusConnectionInterface::ServiceRegistered ? Outcome::Claimed : Outcome::HeldByAnother;
}
