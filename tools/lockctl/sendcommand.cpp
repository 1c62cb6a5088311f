#include "sendcommand.h"

#include "command.h"
#include "platform/buslink.h"
#include "platform/qcopchannel.h"
#include "platform/sessionnameclaim.h"

#include <QDBusMessage>

namespace {

QString sendCommandUsage()
{
    return QStringLiteral(
        "usage: lockctl send [--] CHANNEL MESSAGE [DATA]\n"
        "\n"
        "Sends one message on a system channel over the D-Bus session bus, the way\n"
        "the phone platform does. DATA is sent as its UTF-8 bytes (none if absent).\n"
        "\n"
        "  lockctl send EZX/System LCDOff    raise the lock screen (display off)\n"
        "  lockctl send EZX/System LCDOn     the display is on again\n"
        "\n"
        "A bus that does not answer within a few seconds counts as unreachable. Without\n"
        "DBUS_SESSION_BUS_ADDRESS nothing is sent (no bus is started). \"--\" ends the\n"
        "options: a channel or message that starts with \"-\" comes after it. When no\n"
        "lock screen runs on the bus (nobody owns org.lockapp.LockScreen) that is said\n"
        "on standard error; the message was sent all the same.\n"
        "\n"
        "Exit codes: 0 sent, 1 no session bus could be reached, 2 usage error.\n");
}

// Whether anyone owns `name` on the bus; true when the bus does not say
// within its time, so that only a sure absence is reported.
bool nameHasOwner(const QDBusConnection& bus, const QString& name)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("NameHasOwner"));
    ask << name;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, BusLink::ConnectTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return true;
    return reply.arguments().constFirst().toBool();
}

} // namespace

const lockctl::CommandSyntax sendCommandSyntax{ "send", sendCommandUsage };

int runSendCommand(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (arguments.size() == 1 && lockctl::CommandSyntax::isHelpOption(arguments[0]))
        return sendCommandSyntax.writeHelp(out);
    QStringList args = arguments;
    if (!args.isEmpty() && args[0] == QLatin1String("--")) {
        args.removeFirst();
    } else if (!args.isEmpty() && args[0].startsWith(QLatin1Char('-')) && args[0] != QLatin1String("-")) {
        return sendCommandSyntax.usageError(
            err, QStringLiteral("unknown option %1 (a channel that starts with \"-\" goes after --)").arg(args[0]));
    }
    if (args.size() < 2 || args.size() > 3)
        return sendCommandSyntax.usageError(err, QStringLiteral("expected CHANNEL MESSAGE [DATA]"));
    if (args[0].isEmpty()) {
        err << "lockctl send: the channel name is empty\n";
        return lockctl::ExitUsage;
    }
    // No address: libdbus would start a bus of its own (and leave it behind).
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty())
        return sendCommandSyntax.failure(err,
            QStringLiteral("cannot reach the D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not "
                           "set); the message was not sent"));
    const BusLink bus(address);
    QString why = bus.lastError();
    if (bus.isConnected()
        && QCopChannel::send(bus.connection(), args[0].toUtf8(), args[1].toUtf8(), args.value(2).toUtf8(), &why)) {
        const QString lockScreen = QString::fromLatin1(SessionNameClaim::LockScreenName);
        if (!nameHasOwner(bus.connection(), lockScreen))
            err << "lockctl send: no lock screen is running on the session bus (nobody owns " << lockScreen
                << "); the message was sent, but lockapp is not there to act on it\n";
        return lockctl::ExitOk;
    }
    return sendCommandSyntax.failure(err,
        QStringLiteral("cannot reach the D-Bus session bus at %1 (%2); the message was not sent")
            .arg(QString::fromLocal8Bit(address), why));
}
