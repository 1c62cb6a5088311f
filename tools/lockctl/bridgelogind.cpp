#include "bridgelogind.h"

#include "bridgeinhibitor.h"
#include "bridgelog.h"
#include "bridgenameowner.h"
#include "bridgerelay.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <unistd.h>

namespace {
const QString service = QStringLiteral("org.freedesktop.login1");
const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString seatInterface = QStringLiteral("org.freedesktop.login1.Seat");
// Looking up the session must not hold the bridge up for long.
constexpr int callTimeoutMs = 5000;

QDBusMessage managerCall(const QString& method)
{
    return QDBusMessage::createMethodCall(service, managerPath, managerInterface, method);
}
} // namespace

const char* const LogindSource::Name = "logind";

LogindSource::LogindSource(QDBusConnection systemBus, const QString& sessionId, DisplayRelay& relay, BridgeLog& log,
                           QObject* parent)
    : QObject(parent)
    , m_bus(std::move(systemBus))
    , m_sessionId(sessionId)
    , m_relay(relay)
    , m_log(log)
    , m_inhibitor(new SleepInhibitor(m_bus, this))
    , m_owner(new BusNameOwner(service, this))
{
    connect(m_inhibitor, &SleepInhibitor::taken, this, &LogindSource::onInhibitorTaken);
    connect(m_inhibitor, &SleepInhibitor::failed, this, &LogindSource::onInhibitorFailed);
    m_shownWait.setSingleShot(true);
    m_shownWait.setInterval(ShownWaitMs);
    connect(&m_shownWait, &QTimer::timeout, this, &LogindSource::onShownWaitOver);
    connect(&m_relay, &DisplayRelay::lockScreenShown, this, &LogindSource::onLockScreenShown);
}

bool LogindSource::start(QString* why)
{
    if (!m_bus.isConnected()) {
        *why = QStringLiteral("cannot reach the D-Bus system bus; skipped");
        return false;
    }
    // From any sender with any arguments: the slots check both, and which
    // session's Lock it is.
    const bool subscribed
            = m_bus.connect(QString(), QString(), sessionInterface, QStringLiteral("Lock"), this,
                            SLOT(onLock(QDBusMessage)))
            && m_bus.connect(QString(), managerPath, managerInterface, QStringLiteral("PrepareForSleep"), this,
                             SLOT(onPrepareForSleep(QDBusMessage)));
    if (!subscribed) {
        *why = QStringLiteral("cannot subscribe to logind's signals on the system bus; skipped");
        return false;
    }
    connect(m_owner, &BusNameOwner::appeared, this, &LogindSource::onLogindRegistered);
    connect(m_owner, &BusNameOwner::vanished, this, &LogindSource::onLogindUnregistered);
    m_owner->follow(m_bus);
    if (!m_owner->isPresent())
        *why = QStringLiteral("%1 is not on the system bus; waiting for it").arg(service);
    return true;
}

void LogindSource::onLogindRegistered()
{
    findSession();
    m_log.event(QLatin1String(Name), QStringLiteral("%1 is on the bus").arg(service),
                m_sessionPath.isEmpty() ? QStringLiteral("session not found yet")
                                        : QStringLiteral("following ") + m_sessionPath);
    m_sleeping = false;
    m_inhibitor->take();
}

void LogindSource::onLogindUnregistered()
{
    // Its inhibitors went with it; so did its sessions' paths.
    m_shownWait.stop();
    m_inhibitor->release();
    m_sessionPath.clear();
    m_log.event(QLatin1String(Name), QStringLiteral("%1 vanished").arg(service), QStringLiteral("waiting for it"));
}

void LogindSource::onInhibitorTaken()
{
    // Sleep may have begun while the request was on its way.
    if (m_sleeping) {
        m_inhibitor->release();
        return;
    }
    m_log.event(QLatin1String(Name), QStringLiteral("sleep inhibitor taken"), QStringLiteral("holding it"));
}

void LogindSource::onInhibitorFailed(const QString& why)
{
    m_log.warning(QLatin1String(Name), QStringLiteral("cannot take a sleep inhibitor (%1); the lock screen may come up "
                                                      "only after the system wakes")
                                               .arg(why));
}

void LogindSource::onLock(const QDBusMessage& message)
{
    if (!m_owner->sent(message) || !message.signature().isEmpty())
        return;
    // logind may have been there before the session, or the session may have
    // been added after logind came back: look again.
    if (m_sessionPath.isEmpty())
        findSession();
    if (message.path() != m_sessionPath)
        return;
    m_relay.sessionLocked(QLatin1String(Name), QStringLiteral("Lock"));
}

void LogindSource::onPrepareForSleep(const QDBusMessage& message)
{
    if (!m_owner->sent(message) || message.signature() != QLatin1String("b"))
        return;
    if (message.arguments().at(0).toBool()) {
        m_sleeping = true;
        // The machine may sleep once the lock screen says it is up, not
        // merely once "LCDOff" is on the bus.
        m_relay.displayOff(QLatin1String(Name), QStringLiteral("PrepareForSleep(true)"), [this](bool) {
            if (!m_inhibitor->isHeld())
                return QString();
            if (m_relay.isShown()) {
                m_inhibitor->release();
                return QStringLiteral("sleep inhibitor released");
            }
            m_shownWait.start();
            return QStringLiteral("waiting for the lock screen");
        });
    } else {
        m_sleeping = false;
        m_shownWait.stop();
        // The wait did not end: this inhibitor is of the sleep that is over.
        m_inhibitor->release();
        m_relay.displayOn(QLatin1String(Name), QStringLiteral("PrepareForSleep(false)"), [this](bool) {
            m_inhibitor->take();
            return QStringLiteral("taking a new sleep inhibitor");
        });
    }
}

void LogindSource::onLockScreenShown()
{
    if (m_shownWait.isActive())
        releaseForSleep(QStringLiteral("the lock screen is shown"));
}

void LogindSource::onShownWaitOver()
{
    releaseForSleep(QStringLiteral("no word from the lock screen within %1 ms").arg(ShownWaitMs));
}

void LogindSource::releaseForSleep(const QString& why)
{
    m_shownWait.stop();
    if (m_inhibitor->release())
        m_log.event(QLatin1String(Name), why, QStringLiteral("sleep inhibitor released"));
}

void LogindSource::findSession()
{
    m_sessionPath.clear();
    if (m_sessionId.isEmpty()) {
        m_sessionPath = sessionOfThisUser();
        return;
    }
    QDBusMessage call = managerCall(QStringLiteral("GetSession"));
    call << m_sessionId;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, callTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
        m_sessionPath = reply.arguments().at(0).value<QDBusObjectPath>().path();
}

QString LogindSource::sessionOfThisUser()
{
    const QDBusMessage sessions = m_bus.call(managerCall(QStringLiteral("ListSessions")), QDBus::Block, callTimeoutMs);
    if (sessions.type() != QDBusMessage::ReplyMessage || sessions.arguments().isEmpty())
        return QString();
    const uint uid = ::getuid();
    // a(susso): id, uid, user name, seat, object path.
    const QDBusArgument list = sessions.arguments().at(0).value<QDBusArgument>();
    QList<QPair<QString, QString>> mine;  // seat, path
    list.beginArray();
    while (!list.atEnd()) {
        QString id, user, seat;
        uint owner = 0;
        QDBusObjectPath path;
        list.beginStructure();
        list >> id >> owner >> user >> seat >> path;
        list.endStructure();
        if (owner == uid && !seat.isEmpty())
            mine.append({ seat, path.path() });
    }
    list.endArray();

    for (const auto& [seat, path] : mine) {
        QDBusMessage getSeat = managerCall(QStringLiteral("GetSeat"));
        getSeat << seat;
        const QDBusMessage seatReply = m_bus.call(getSeat, QDBus::Block, callTimeoutMs);
        if (seatReply.type() != QDBusMessage::ReplyMessage || seatReply.arguments().isEmpty())
            continue;
        QDBusMessage get = QDBusMessage::createMethodCall(
                service, seatReply.arguments().at(0).value<QDBusObjectPath>().path(),
                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << seatInterface << QStringLiteral("ActiveSession");
        const QDBusMessage active = m_bus.call(get, QDBus::Block, callTimeoutMs);
        if (active.type() != QDBusMessage::ReplyMessage || active.arguments().isEmpty())
            continue;
        // (so): the active session's id and path.
        const QDBusArgument value = active.arguments().at(0).value<QDBusVariant>().variant().value<QDBusArgument>();
        QString activeId;
        QDBusObjectPath activePath;
        value.beginStructure();
        value >> activeId >> activePath;
        value.endStructure();
        if (activePath.path() == path)
            return path;
    }
    return QString();
}
