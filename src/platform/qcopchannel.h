#pragma once

#include "qcstring.h"

#include <QObject>
#include <QString>

// A subscription to one system message channel. Messages travel over the
// D-Bus session bus as one broadcast signal each:
//   path "/org/lockapp/Channel", interface "org.lockapp.Channel",
//   member "message", arguments (string channel, string message, bytes data).
// Every QCopChannel of the same channel name, in any process on the bus,
// emits received() once per message, in the order the messages were sent.
class QCopChannel : public QObject
{
    Q_OBJECT
public:
    static const char* const ObjectPath;
    static const char* const Interface;
    static const char* const Member;

    QCopChannel(const QCString& channel, QObject* parent = nullptr, const char* name = nullptr);
    ~QCopChannel() override;

    QCString channel() const { return m_channel; }
    // False when no session bus could be reached: nothing will ever arrive.
    bool isConnected() const { return m_connected; }

    // Sends one message on a channel. Returns false when no session bus can be
    // reached or the message could not be handed to it.
    static bool send(const QCString& channel, const QCString& msg, const QByteArray& data = QByteArray());

signals:
    void received(const QCString& msg, const QByteArray& data);

private slots:
    void onBusMessage(const QString& channel, const QString& msg, const QByteArray& data);

private:
    QCString m_channel;
    bool m_connected = false;
};
