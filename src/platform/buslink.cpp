#include "platform/buslink.h"

#include "platform/busprobe.h"
#include "platform/diagnostics.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {
std::atomic<int> connectsInFlight { 0 };
std::atomic<int> connectionSerial { 0 };

const char* const LocalPath = "/org/freedesktop/DBus/Local";
const char* const LocalInterface = "org.freedesktop.DBus.Local";
} // namespace

// What a connect thread hands back to the link that started it. Shared, so
// that a thread that outlives its link writes into memory that still exists.
struct BusConnectAttempt
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool ok = false;
    QString name;
    QString why;
};

BusLink::BusLink(const QByteArray& address, QObject* parent)
    : QObject(parent)
    , m_address(address)
{
    m_attemptPoll.setInterval(50);
    connect(&m_attemptPoll, &QTimer::timeout, this, &BusLink::pollAttempt);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &BusLink::startAttempt);

    if (m_address.isEmpty())
        return;
    startAttempt();
    m_lastError = QStringLiteral("no answer within %1 ms").arg(ConnectTimeoutMs);
    {
        std::unique_lock<std::mutex> lock(m_attempt->mutex);
        m_attempt->finished.wait_for(lock, std::chrono::milliseconds(ConnectTimeoutMs + 500),
                                     [this] { return m_attempt->done; });
    }
    pollAttempt();
}

BusLink::~BusLink()
{
    if (!m_name.isEmpty())
        QDBusConnection::disconnectFromBus(m_name);
}

BusLink& BusLink::session()
{
    static QPointer<BusLink> link;
    if (!link) {
        link = new BusLink(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
        // It goes with the application, which owns the toolkit's bus thread.
        if (QCoreApplication::instance())
            link->setParent(QCoreApplication::instance());
    }
    return *link;
}

bool BusLink::connectInProgress()
{
    return connectsInFlight.load() > 0;
}

bool BusLink::isConnected() const
{
    return !m_name.isEmpty() && QDBusConnection(m_name).isConnected();
}

QDBusConnection BusLink::connection() const
{
    return QDBusConnection(m_name);
}

void BusLink::startAttempt()
{
    if (m_attempt)
        return;
    auto attempt = std::make_shared<BusConnectAttempt>();
    m_attempt = attempt;
    const QByteArray address = m_address;
    const QString name = QStringLiteral("lockapp-bus-%1").arg(++connectionSerial);
    // The thread may not start (limits on memory or threads): that attempt
    // fails like an unreachable bus, and the next one is tried later.
    try {
        startConnectThread(attempt, address, name);
    } catch (const std::system_error& error) {
        const std::lock_guard<std::mutex> lock(attempt->mutex);
        attempt->done = true;
        attempt->why = QStringLiteral("cannot start a thread to connect: %1").arg(QString::fromLocal8Bit(error.what()));
    }
    m_attemptPoll.start();
}

void BusLink::startConnectThread(const std::shared_ptr<BusConnectAttempt>& attempt, const QByteArray& address,
                                 const QString& name)
{
    std::thread([attempt, address, name] {
        bool ok = false;
        QString why;
        if (busAnswers(address, ConnectTimeoutMs, &why)) {
            ++connectsInFlight;
            const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromUtf8(address), name);
            --connectsInFlight;
            ok = bus.isConnected();
            if (!ok) {
                why = bus.lastError().message();
                QDBusConnection::disconnectFromBus(name);
            }
        }
        const std::lock_guard<std::mutex> lock(attempt->mutex);
        attempt->done = true;
        attempt->ok = ok;
        attempt->name = name;
        attempt->why = why;
        attempt->finished.notify_all();
    }).detach();
}

void BusLink::pollAttempt()
{
    if (!m_attempt)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_attempt->mutex);
        if (!m_attempt->done)
            return;
    }
    finishAttempt();
}

void BusLink::finishAttempt()
{
    m_attemptPoll.stop();
    const std::shared_ptr<BusConnectAttempt> attempt = std::move(m_attempt);
    m_lastError = attempt->why;
    if (!attempt->ok) {
        retryLater();
        return;
    }
    m_name = attempt->name;
    m_retryMs = FirstRetryMs;
    m_lossReported = false;
    // libdbus tells of a lost bus with this local signal.
    connection().connect(QString(), QString::fromLatin1(LocalPath), QString::fromLatin1(LocalInterface),
                         QStringLiteral("Disconnected"), this, SLOT(onDisconnected()));
    emit connected();
}

void BusLink::retryLater()
{
    m_retry.start(m_retryMs);
    m_retryMs = qMin(m_retryMs * 2, int(LongestRetryMs));
}

void BusLink::onDisconnected()
{
    if (m_name.isEmpty())
        return;
    QDBusConnection::disconnectFromBus(m_name);
    m_name.clear();
    if (!m_lossReported) {
        m_lossReported = true;
        writeWarning("warning: lost the D-Bus session bus at " + m_address + "; reconnecting in the background\n");
    }
    emit lost();
    retryLater();
}
