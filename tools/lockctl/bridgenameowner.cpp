#include "bridgenameowner.h"

#include "platform/buslink.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>

namespace {
// The bus answers at once; a bus that does not must not hold the bridge up.
constexpr int OwnerQueryTimeoutMs = 2000;
} // namespace

BusNameOwner::BusNameOwner(const QString& name, QObject* parent)
    : QObject(parent)
    , m_name(name)
{
}

void BusNameOwner::follow(const QDBusConnection& bus)
{
    emit aboutToFollow(bus);
    delete m_watcher;
    // Watched before the owner is read, so that no change falls in between.
    m_watcher = new QDBusServiceWatcher(m_name, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &BusNameOwner::onOwnerChanged);

    QDBusMessage query = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                        QStringLiteral("/org/freedesktop/DBus"),
                                                        QStringLiteral("org.freedesktop.DBus"),
                                                        QStringLiteral("GetNameOwner"));
    query << m_name;
    const QDBusMessage reply = QDBusConnection(bus).call(query, QDBus::Block, OwnerQueryTimeoutMs);
    // An error reply is also the bus's "nobody owns it".
    m_reading = true;
    setOwner(reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                     ? reply.arguments().at(0).toString()
                     : QString());
    m_reading = false;
}

void BusNameOwner::follow(BusLink& link)
{
    connect(&link, &BusLink::connected, this, [this, &link] { follow(link.connection()); });
    connect(&link, &BusLink::lost, this, &BusNameOwner::forget);
    if (link.isConnected())
        follow(link.connection());
}

void BusNameOwner::forget()
{
    delete m_watcher;
    m_watcher = nullptr;
    setOwner(QString());
}

bool BusNameOwner::sent(const QDBusMessage& message) const
{
    return isPresent() && message.service() == m_owner;
}

void BusNameOwner::onOwnerChanged(const QString& name, const QString& /*oldOwner*/, const QString& newOwner)
{
    if (name == m_name)
        setOwner(newOwner);
}

void BusNameOwner::setOwner(const QString& owner)
{
    if (owner == m_owner)
        return;
    const bool hadOwner = isPresent();
    m_owner = owner;
    if (hadOwner)
        emit vanished();
    if (isPresent())
        emit appeared();
}
