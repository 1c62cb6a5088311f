#include "bridgelogind.h"

#include "bridgeinhibitor.h"
#include "bridgelog.h"
#include "bridgerelay.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
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
{
    connect(m_inhibitor, &SleepInhibitor::taken, this, &LogindSource::onInhibitorTaken);
    connect(m_inhibitor, &SleepInhibitor::failed, this, &LogindSource::onInhibitorFailed);
}

bool LogindSource::start(QString* why)
{
    if (!m_bus.isConnected()) {
        *why = QStringLiteral("cannot reach the D-Bus system bus; skipped");
        return false;
    }
    // Every session's Lock is heard; only the one of this session counts. With
    // the service's name, the toolkit follows logind across restarts.
    const bool subscribed
            = m_bus.connect(service, QString(), sessionInterface, QStringLiteral("Lock"), this,
                            SLOT(onLock(QDBusMessage)))
            && m_bus.connect(service, managerPath, managerInterface, QStringLiteral("PrepareForSleep"), this,
                             SLOT(onPrepareForSleep(bool)));
    if (!subscribed) {
        *why = QStringLiteral("cannot subscribe to logind's signals on the system bus; skipped");
        return false;
    }
    m_watcher = new QDBusServiceWatcher(service, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration
                                                | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &LogindSource::onLogindRegistered);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &LogindSource::onLogindUnregistered);

    if (m_bus.interface() && m_bus.interface()->isServiceRegistered(service).value()) {
        onLogindRegistered();
    } else {
        *why = QStringLiteral("%1 is not on the system bus; waiting for it").arg(service);
    }
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
    // logind may have been there before the session, or the session may have
    // been added after logind came back: look again.
    if (m_sessionPath.isEmpty())
        findSession();
    if (message.path() != m_sessionPath)
        return;
    m_relay.sessionLocked(QLatin1String(Name), QStringLiteral("Lock"));
}

void LogindSource::onPrepareForSleep(bool start)
{
    if (start) {
        m_sleeping = true;
        // "LCDOff" has made its round trip to the session bus when this
        // returns; only then may the machine go to sleep.
        m_relay.displayOff(QLatin1String(Name), QStringLiteral("PrepareForSleep(true)"), [this](bool) {
            return m_inhibitor->release() ? QStringLiteral("sleep inhibitor released") : QString();
        });
    } else {
        m_sleeping = false;
        m_relay.displayOn(QLatin1String(Name), QStringLiteral("PrepareForSleep(false)"), [this](bool) {
            m_inhibitor->take();
            return QStringLiteral("taking a new sleep inhibitor");
        });
    }
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
