#include "bridgescreensaver.h"

#include "bridgelog.h"
#include "bridgerelay.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

namespace {
// Each service sends ActiveChanged on an interface of its own name; the object
// path differs between desktops, so any path is accepted.
const char* const services[] = { "org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver" };
} // namespace

const char* const ScreenSaverSource::Name = "screensaver";

ScreenSaverSource::ScreenSaverSource(QDBusConnection bus, DisplayRelay& relay, BridgeLog& log, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_relay(relay)
    , m_log(log)
{
}

bool ScreenSaverSource::start(QString* why)
{
    if (!m_bus.isConnected()) {
        *why = QStringLiteral("cannot reach the D-Bus session bus; skipped");
        return false;
    }
    QStringList names;
    for (const char* service : services) {
        const QString name = QLatin1String(service);
        names << name;
        // With a service name, the toolkit follows the name's owner: a service
        // started later or restarted is heard without connecting again.
        if (!m_bus.connect(name, QString(), name, QStringLiteral("ActiveChanged"), this,
                           SLOT(onActiveChanged(bool,QDBusMessage)))) {
            *why = QStringLiteral("cannot subscribe to %1 on the session bus; skipped").arg(name);
            return false;
        }
    }
    m_watcher = new QDBusServiceWatcher(this);
    m_watcher->setConnection(m_bus);
    m_watcher->setWatchedServices(names);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &ScreenSaverSource::onServiceRegistered);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &ScreenSaverSource::onServiceUnregistered);

    bool anyPresent = false;
    for (const QString& name : names) {
        if (m_bus.interface() && m_bus.interface()->isServiceRegistered(name).value()) {
            anyPresent = true;
            m_log.event(QLatin1String(Name), name + QStringLiteral(" is on the bus"), QStringLiteral("listening"));
        }
    }
    if (!anyPresent)
        *why = QStringLiteral("neither %1 is on the session bus; waiting for one").arg(names.join(QStringLiteral(" nor ")));
    return true;
}

void ScreenSaverSource::onActiveChanged(bool active, const QDBusMessage& message)
{
    const QString event = QStringLiteral("%1 ActiveChanged(%2)")
                                  .arg(message.interface(), active ? QStringLiteral("true") : QStringLiteral("false"));
    if (active)
        m_relay.displayOff(QLatin1String(Name), event);
    else
        m_relay.displayOn(QLatin1String(Name), event);
}

void ScreenSaverSource::onServiceRegistered(const QString& service)
{
    m_log.event(QLatin1String(Name), service + QStringLiteral(" appeared"), QStringLiteral("listening"));
}

void ScreenSaverSource::onServiceUnregistered(const QString& service)
{
    m_log.event(QLatin1String(Name), service + QStringLiteral(" vanished"), QStringLiteral("waiting for it"));
}
