#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

struct BusConnectAttempt;

// A connection to one D-Bus bus that outlives the bus: connecting never
// blocks the event loop for long (the bus is first asked whether it answers at
// all, within a bound, and the connect call itself runs on a thread of its
// own), a lost bus is noticed, said once on standard error and reconnected
// with a back-off, and an unreachable bus is tried again in the background.
// Users subscribe again on connected(). A process whose connect call is still
// stuck when it ends leaves without waiting for it, with its exit code.
class BusLink : public QObject
{
    Q_OBJECT
public:
    // How long the first attempt may hold up its caller, and how long a bus
    // has to answer.
    static constexpr int ConnectTimeoutMs = 2000;
    // Back-off between attempts while the bus is away.
    static constexpr int FirstRetryMs = 250;
    static constexpr int LongestRetryMs = 2000;

    // A link to the bus at `address` (a D-Bus address); with an empty address
    // nothing is ever tried (and nothing is started: no autolaunch). The
    // first attempt is made here and waited for at most ConnectTimeoutMs.
    explicit BusLink(const QByteArray& address, QObject* parent = nullptr);
    ~BusLink() override;

    // The process's link to the session bus (DBUS_SESSION_BUS_ADDRESS),
    // made on first use.
    static BusLink& session();

    QByteArray address() const { return m_address; }
    bool isConnected() const;
    // The current connection; not connected while the bus is away.
    QDBusConnection connection() const;
    // Why the last attempt failed ("" after a success).
    QString lastError() const { return m_lastError; }

signals:
    // A (new) connection is there: subscriptions are to be made on it.
    void connected();
    // The connection went away; connected() follows once the bus is back.
    void lost();

private slots:
    void onDisconnected();
    void startAttempt();

private:
    static void startConnectThread(const std::shared_ptr<BusConnectAttempt>& attempt, const QByteArray& address,
                                   const QString& name);
    // Takes the attempt's outcome once its thread has ended; called again
    // for an attempt already taken, it does nothing.
    void takeFinishedAttempt();
    void retryLater();

    QByteArray m_address;
    QString m_name;
    QString m_lastError;
    std::shared_ptr<BusConnectAttempt> m_attempt;
    QTimer m_retry;
    int m_retryMs = FirstRetryMs;
    bool m_lossReported = false;
};
