#include "platform/qcopchannel.h"

#include "platform/diagnostics.h"

#include <QDBusError>
#include <QDBusMessage>

namespace {
QStringList matchArguments(const QCString& channel)
{
    return { QString::fromUtf8(channel) };
}
} // namespace

const char* const QCopChannel::ObjectPath = "/org/lockapp/Channel";
const char* const QCopChannel::Interface = "org.lockapp.Channel";
const char* const QCopChannel::Member = "message";

QCopChannel::QCopChannel(const QCString& channel, QObject* parent, const char* name, BusLink& bus)
    : QObject(parent)
    , m_channel(channel)
    , m_bus(&bus)
{
    if (name)
        setObjectName(QString::fromLatin1(name));

    connect(&bus, &BusLink::connected, this, &QCopChannel::subscribe);
    connect(&bus, &BusLink::lost, this, &QCopChannel::onBusLost);
    if (bus.isConnected())
        subscribe();
    if (!m_connected) {
        const QByteArray line = "warning: cannot reach the D-Bus session bus; channel \"" + channel
                + (bus.address().isEmpty() ? QByteArray("\" will receive no messages\n")
                                           : QByteArray("\" receives no messages until it can be reached\n"));
        writeWarning(line);
    }
}

QCopChannel::~QCopChannel()
{
    if (m_connected && m_bus) {
        m_bus->connection().disconnect(QString(), QString::fromLatin1(ObjectPath), QString::fromLatin1(Interface),
                                       QString::fromLatin1(Member), matchArguments(m_channel),
                                       QStringLiteral("ssay"), this,
                                       SLOT(onBusMessage(QString,QString,QByteArray)));
    }
}

void QCopChannel::subscribe()
{
    if (!m_bus)
        return;
    // The bus itself filters on the channel name, so other channels' traffic
    // never wakes this process.
    m_connected = m_bus->connection().connect(QString(), QString::fromLatin1(ObjectPath),
                                              QString::fromLatin1(Interface), QString::fromLatin1(Member),
                                              matchArguments(m_channel), QStringLiteral("ssay"), this,
                                              SLOT(onBusMessage(QString,QString,QByteArray)));
}

void QCopChannel::onBusLost()
{
    m_connected = false;
}

bool QCopChannel::send(const QCString& channel, const QCString& msg, const QByteArray& data)
{
    return send(BusLink::session().connection(), channel, msg, data);
}

bool QCopChannel::send(const QDBusConnection& bus, const QCString& channel, const QCString& msg,
                       const QByteArray& data, QString* why)
{
    auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (!bus.isConnected())
        return fail(QStringLiteral("not connected"));
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(ObjectPath),
                                                     QString::fromLatin1(Interface),
                                                     QString::fromLatin1(Member));
    signal << QString::fromUtf8(channel) << QString::fromUtf8(msg) << data;
    QDBusConnection sender = bus;
    if (!sender.send(signal))
        return fail(sender.lastError().message());
    // A round trip on the same connection, bounded: once the bus answers, the
    // signal queued before it has been written out, so a sender may exit.
    const QDBusMessage ping = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                             QStringLiteral("/org/freedesktop/DBus"),
                                                             QStringLiteral("org.freedesktop.DBus"),
                                                             QStringLiteral("GetId"));
    const QDBusMessage reply = sender.call(ping, QDBus::Block, SendTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return fail(reply.errorMessage());
    return true;
}

void QCopChannel::onBusMessage(const QString& channel, const QString& msg, const QByteArray& data)
{
    if (channel.toUtf8() == m_channel)
        emit received(msg.toUtf8(), data);
}
