#include "sendcommand.h"

#include "command.h"
#include "platform/buslink.h"
#include "platform/qcopchannel.h"

#include <unistd.h>

QString sendCommandUsage()
{
    return QStringLiteral(
        "usage: lockctl send CHANNEL MESSAGE [DATA]\n"
        "\n"
        "Sends one message on a system channel over the D-Bus session bus, the way\n"
        "the phone platform does. DATA is sent as its UTF-8 bytes (none if absent).\n"
        "\n"
        "  lockctl send EZX/System LCDOff    raise the lock screen (display off)\n"
        "  lockctl send EZX/System LCDOn     the display is on again\n"
        "\n"
        "A bus that does not answer within a few seconds counts as unreachable. Without\n"
        "DBUS_SESSION_BUS_ADDRESS nothing is sent (no bus is started).\n"
        "\n"
        "Exit codes: 0 sent, 1 no session bus could be reached, 2 usage error.\n");
}

int runSendCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.size() == 1 && (args[0] == QLatin1String("-h") || args[0] == QLatin1String("--help"))) {
        out << sendCommandUsage();
        return lockctl::ExitOk;
    }
    if (args.size() < 2 || args.size() > 3) {
        err << "lockctl send: expected CHANNEL MESSAGE [DATA]\n"
            << "usage: lockctl send CHANNEL MESSAGE [DATA]   (see lockctl help send)\n";
        return lockctl::ExitUsage;
    }
    if (args[0].isEmpty()) {
        err << "lockctl send: the channel name is empty\n";
        return lockctl::ExitUsage;
    }
    // No address: libdbus would start a bus of its own (and leave it behind).
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (address.isEmpty()) {
        err << "lockctl send: cannot reach the D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not set); "
               "the message was not sent\n";
        return lockctl::ExitFailure;
    }
    const BusLink bus(address);
    QString why = bus.lastError();
    if (bus.isConnected()
        && QCopChannel::send(bus.connection(), args[0].toUtf8(), args[1].toUtf8(), args.value(2).toUtf8(), &why))
        return lockctl::ExitOk;
    err << "lockctl send: cannot reach the D-Bus session bus at " << QString::fromLocal8Bit(address) << " (" << why
        << "); the message was not sent\n";
    if (BusLink::connectInProgress()) {
        // The toolkit's bus thread is stuck in a connect to a bus that does
        // not answer; an ordinary exit would wait for it.
        err.flush();
        ::_exit(lockctl::ExitFailure);
    }
    return lockctl::ExitFailure;
}
