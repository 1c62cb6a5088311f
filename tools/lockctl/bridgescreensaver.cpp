#include "bridgescreensaver.h"

#include "bridgelog.h"
#include "bridgenameowner.h"
#include "bridgerelay.h"
#include "platform/buslink.h"

#include <QDBusMessage>

namespace {
// Each service sends ActiveChanged on an interface of its own name; the object
// path differs between desktops, so any path is accepted.
const char* const services[] = { "org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver" };
} // namespace

const char* const ScreenSaverSource::Name = "screensaver";

ScreenSaverSource::ScreenSaverSource(BusLink& bus, DisplayRelay& relay, BridgeLog& log, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_relay(relay)
    , m_log(log)
{
    for (const char* service : services) {
        auto* owner = new BusNameOwner(QLatin1String(service), this);
        m_owners.insert(owner->name(), owner);
        connect(owner, &BusNameOwner::aboutToFollow, this,
                [this, owner](QDBusConnection bus) { subscribe(bus, owner->name()); });
        connect(owner, &BusNameOwner::appeared, this, [this, owner] { onAppeared(owner); });
        connect(owner, &BusNameOwner::vanished, this, [this, owner] { onVanished(owner); });
    }
}

bool ScreenSaverSource::start(QString* why)
{
    if (m_bus.address().isEmpty()) {
        *why = QStringLiteral("no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not set); skipped");
        return false;
    }
    for (BusNameOwner* owner : std::as_const(m_owners))
        owner->follow(m_bus);
    if (!m_bus.isConnected()) {
        *why = QStringLiteral("cannot reach the D-Bus session bus yet; listening once it answers");
        return true;
    }
    bool anyPresent = false;
    for (const BusNameOwner* owner : std::as_const(m_owners))
        anyPresent = anyPresent || owner->isPresent();
    if (!anyPresent)
        *why = QStringLiteral("neither %1 is on the session bus; waiting for one")
                       .arg(m_owners.keys().join(QStringLiteral(" nor ")));
    return true;
}

void ScreenSaverSource::subscribe(QDBusConnection bus, const QString& service)
{
    // Any sender, any signature: onActiveChanged checks both.
    bus.connect(QString(), QString(), service, QStringLiteral("ActiveChanged"), this,
                SLOT(onActiveChanged(QDBusMessage)));
}

void ScreenSaverSource::onActiveChanged(const QDBusMessage& message)
{
    BusNameOwner* owner = m_owners.value(message.interface());
    if (!owner || !owner->sent(message) || message.signature() != QLatin1String("b")) {
        m_log.event(QLatin1String(Name),
                    QStringLiteral("%1 ActiveChanged(%2) from %3").arg(message.interface(), message.signature(),
                                                                       message.service()),
                    owner && owner->sent(message) ? QStringLiteral("ignored (not one boolean)")
                                                  : QStringLiteral("ignored (not the name's owner)"));
        return;
    }
    const bool active = message.arguments().at(0).toBool();
    m_active[owner->name()] = active;
    const QString event = QStringLiteral("%1 ActiveChanged(%2)")
                                  .arg(owner->name(), active ? QStringLiteral("true") : QStringLiteral("false"));
    if (active)
        m_relay.displayOff(QLatin1String(Name), event);
    else
        m_relay.displayOn(QLatin1String(Name), event);
}

void ScreenSaverSource::onAppeared(BusNameOwner* owner)
{
    const QString how = owner->isReadingOwner() ? QStringLiteral(" is on the bus") : QStringLiteral(" appeared");
    m_log.event(QLatin1String(Name), owner->name() + how, QStringLiteral("listening"));
}

void ScreenSaverSource::onVanished(BusNameOwner* owner)
{
    // Nobody is left to say it ended: the screen saver is over.
    if (m_active.value(owner->name())) {
        m_active[owner->name()] = false;
        m_relay.displayOn(QLatin1String(Name), owner->name() + QStringLiteral(" vanished while active"));
        return;
    }
    m_log.event(QLatin1String(Name), owner->name() + QStringLiteral(" vanished"), QStringLiteral("waiting for it"));
}
