#include "bridgelockscreen.h"

#include "bridgelog.h"
#include "bridgenameowner.h"
#include "bridgerelay.h"
#include "platform/buslink.h"
#include "platform/lockscreenstatus.h"
#include "platform/sessionnameclaim.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

const char* const LockScreenWatch::Name = "lockscreen";

namespace {
const QString lockScreenName = QString::fromLatin1(SessionNameClaim::LockScreenName);
} // namespace

LockScreenWatch::LockScreenWatch(BusLink& bus, DisplayRelay& relay, BridgeLog& log, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_relay(relay)
    , m_log(log)
    , m_owner(new BusNameOwner(lockScreenName, this))
{
    connect(m_owner, &BusNameOwner::aboutToFollow, this, &LockScreenWatch::subscribe);
    connect(m_owner, &BusNameOwner::appeared, this, &LockScreenWatch::onAppeared);
    connect(m_owner, &BusNameOwner::vanished, this, &LockScreenWatch::onVanished);
}

void LockScreenWatch::start()
{
    m_owner->follow(m_bus);
}

void LockScreenWatch::subscribe(QDBusConnection bus)
{
    // Any sender, any signature: the slot itself checks both.
    bus.connect(QString(), QString::fromLatin1(LockScreenStatus::ObjectPath),
                QString::fromLatin1(LockScreenStatus::Interface), QStringLiteral("ShownChanged"), this,
                SLOT(onShownChanged(QDBusMessage)));
}

void LockScreenWatch::onAppeared()
{
    // lockapp answers from its event loop, which runs only once it listens
    // for messages: after the answer, "LCDOff" is heard.
    delete m_reading;
    QDBusMessage get = QDBusMessage::createMethodCall(lockScreenName, QString::fromLatin1(LockScreenStatus::ObjectPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QString::fromLatin1(LockScreenStatus::Interface) << QStringLiteral("Shown");
    m_reading = new QDBusPendingCallWatcher(m_bus.connection().asyncCall(get), this);
    connect(m_reading, &QDBusPendingCallWatcher::finished, this, &LockScreenWatch::onShownRead);
}

void LockScreenWatch::onShownRead(QDBusPendingCallWatcher* call)
{
    m_reading = nullptr;
    call->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *call;
    bool shown = false;
    if (reply.isError()) {
        // A lock screen that cannot say counts as not shown.
        m_log.warning(QLatin1String(Name), QStringLiteral("cannot read Shown of %1 (%2); taken as not shown")
                                                   .arg(lockScreenName, reply.error().message()));
    } else {
        shown = reply.value().variant().toBool();
    }
    m_relay.lockScreenAppeared(QLatin1String(Name),
                               QStringLiteral("%1 is on the bus, Shown=%2")
                                       .arg(lockScreenName, shown ? QStringLiteral("true") : QStringLiteral("false")),
                               shown);
}

void LockScreenWatch::onVanished()
{
    delete m_reading;
    m_reading = nullptr;
    m_relay.lockScreenGone(QLatin1String(Name), lockScreenName + QStringLiteral(" vanished"));
}

void LockScreenWatch::onShownChanged(const QDBusMessage& message)
{
    if (!m_owner->sent(message) || message.signature() != QLatin1String("b"))
        return;
    const bool shown = message.arguments().at(0).toBool();
    m_relay.lockScreenShownChanged(QLatin1String(Name),
                                   shown ? QStringLiteral("ShownChanged(true)") : QStringLiteral("ShownChanged(false)"),
                                   shown);
}
