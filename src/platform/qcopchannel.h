#pragma once

#include "platform/buslink.h"
#include "platform/qcstring.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>

// A subscription to one system message channel. Messages travel over the
// D-Bus session bus as one broadcast signal each:
//   path "/org/lockapp/Channel", interface "org.lockapp.Channel",
//   member "message", arguments (string channel, string message, bytes data).
// Every QCopChannel of the same channel name, in any process on the bus,
// emits received() once per message, in the order the messages were sent.
// The subscription is made again whenever the bus link reconnects.
class QCopChannel : public QObject
{
    Q_OBJECT
public:
    static const char* const ObjectPath;
    static const char* const Interface;
    static const char* const Member;

    // How long send() waits for the bus to confirm it has the message.
    static constexpr int SendTimeoutMs = 3000;

    QCopChannel(const QCString& channel, QObject* parent = nullptr, const char* name = nullptr,
                BusLink& bus = BusLink::session());
    ~QCopChannel() override;

    // False while the bus cannot be reached: nothing arrives until it can.
    bool isConnected() const { return m_connected; }

    // Sends one message on a channel over the session bus. Returns false when
    // no session bus can be reached or the message could not be handed to it.
    static bool send(const QCString& channel, const QCString& msg, const QByteArray& data = QByteArray());
    // The same over `bus`; on failure *why (when given) says what went wrong.
    // Waits at most SendTimeoutMs for the bus.
    static bool send(const QDBusConnection& bus, const QCString& channel, const QCString& msg,
                     const QByteArray& data, QString* why = nullptr);

signals:
    void received(const QCString& msg, const QByteArray& data);

private slots:
    void onBusMessage(const QString& channel, const QString& msg, const QByteArray& data);
    void subscribe();
    void onBusLost();

private:
    QCString m_channel;
    QPointer<BusLink> m_bus;
    bool m_connected = false;
};
