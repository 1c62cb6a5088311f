#include "qcopchannel.h"

#include "platform/diagnostics.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
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

QCopChannel::QCopChannel(const QCString& channel, QObject* parent, const char* name)
    : QObject(parent)
    , m_channel(channel)
{
    if (name)
        setObjectName(QString::fromLatin1(name));

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        // The bus itself filters on the channel name, so other channels'
        // traffic never wakes this process.
        m_connected = bus.connect(QString(), QString::fromLatin1(ObjectPath), QString::fromLatin1(Interface),
                                  QString::fromLatin1(Member), matchArguments(channel),
                                  QStringLiteral("ssay"), this, SLOT(onBusMessage(QString,QString,QByteArray)));
    }
    if (!m_connected) {
        const QByteArray line = "warning: cannot reach the D-Bus session bus; channel \"" + channel
                + "\" will receive no messages\n";
        writeWarning(line);
    }
}

QCopChannel::~QCopChannel()
{
    if (m_connected) {
        QDBusConnection::sessionBus().disconnect(QString(), QString::fromLatin1(ObjectPath),
                                                 QString::fromLatin1(Interface), QString::fromLatin1(Member),
                                                 matchArguments(m_channel), QStringLiteral("ssay"), this,
                                                 SLOT(onBusMessage(QString,QString,QByteArray)));
    }
}

bool QCopChannel::send(const QCString& channel, const QCString& msg, const QByteArray& data)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(ObjectPath),
                                                     QString::fromLatin1(Interface),
                                                     QString::fromLatin1(Member));
    signal << QString::fromUtf8(channel) << QString::fromUtf8(msg) << data;
    if (!bus.send(signal))
        return false;
    // A blocking round trip on the same connection: once the bus answers, the
    // signal queued before it has been written out, so a sender may exit.
    return bus.interface() && bus.interface()->isServiceRegistered(bus.baseService()).isValid();
}

void QCopChannel::onBusMessage(const QString& channel, const QString& msg, const QByteArray& data)
{
    if (channel.toUtf8() == m_channel)
        emit received(msg.toUtf8(), data);
}
