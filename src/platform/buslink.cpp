#include "platform/buslink.h"

#include "platform/busprobe.h"
#include "platform/diagnostics.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {
std::atomic<int> connectsInFlight { 0 };
std::atomic<int> connectionSerial { 0 };

const char* const LocalPath = "/org/freedesktop/DBus/Local";
const char* const LocalInterface = "org.freedesktop.DBus.Local";

// The toolkit makes every connection on a bus thread of its own and waits
// for that thread when the process ends, in the destructor of a static
// object. A connect call stuck on a bus that accepted and never answered
// holds that thread, and the process would never end. This runs when main
// returns (or exit() is called) and, while a connect call is stuck, leaves
// at once with main's exit code and the standard streams flushed. Hooked
// into exit() rather than a destructor because only exit() is handed the
// code, and so that main need know nothing of the bus.
extern "C" void leaveWhileAConnectIsStuck(int status, void*)
{
    if (connectsInFlight.load() == 0)
        return;
    std::fflush(nullptr);
    ::_exit(status);
}

// Handlers run in the reverse order of their registration: registered once
// the toolkit's connection registry (and its bus thread) exists, looked up
// here by a name that is never used, this one runs before that thread is
// waited for. Called on the connect thread, just before its connect call
// would make the registry anyway: made on the main thread at a moment when
// no thread can start, the registry would lack its thread for good, and every
// later connect would wait for it.
void leaveEarlyWhenAConnectIsStuck()
{
    static const bool registered = [] {
        const QDBusConnection neverUsed(QStringLiteral("lockapp-bus-0"));
        return ::on_exit(leaveWhileAConnectIsStuck, nullptr) == 0;
    }();
    Q_UNUSED(registered);
}
} // namespace

// What a connect thread hands back to the link that started it. Shared, so
// that a thread that outlives its link writes into memory that still exists;
// `link` is cleared (under the mutex) when the link goes.
struct BusConnectAttempt
{
    std::mutex mutex;
    std::condition_variable finished;
    BusLink* link = nullptr;
    bool done = false;
    bool ok = false;
    QString name;
    QString why;
};

BusLink::BusLink(const QByteArray& address, QObject* parent)
    : QObject(parent)
    , m_address(address)
{
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
    takeFinishedAttempt();
}

BusLink::~BusLink()
{
    if (m_attempt) {
        const std::lock_guard<std::mutex> lock(m_attempt->mutex);
        m_attempt->link = nullptr;
    }
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
    attempt->link = this;
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
        QMetaObject::invokeMethod(this, &BusLink::takeFinishedAttempt, Qt::QueuedConnection);
    }
}

void BusLink::startConnectThread(const std::shared_ptr<BusConnectAttempt>& attempt, const QByteArray& address,
                                 const QString& name)
{
    std::thread([attempt, address, name] {
        bool ok = false;
        QString why;
        if (busAnswers(address, ConnectTimeoutMs, &why)) {
            ++connectsInFlight;
            leaveEarlyWhenAConnectIsStuck();
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
        // The link learns of the end through its event loop; the mutex keeps
        // it from going away while the call is posted.
        if (attempt->link)
            QMetaObject::invokeMethod(attempt->link, &BusLink::takeFinishedAttempt, Qt::QueuedConnection);
    }).detach();
}

void BusLink::takeFinishedAttempt()
{
    if (!m_attempt)
        return;
    {
        const std::lock_guard<std::mutex> lock(m_attempt->mutex);
        if (!m_attempt->done)
            return;
    }
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
