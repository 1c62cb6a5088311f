#include "bridgecommand.h"

#include "bridgelockscreen.h"
#include "bridgelog.h"
#include "bridgelogind.h"
#include "bridgerelay.h"
#include "bridgescreensaver.h"
#include "bridgex11.h"
#include "command.h"
#include "platform/buslink.h"
#include "platform/quitsignals.h"

#include <QDBusConnection>
#include <QEventLoop>

#include <memory>

namespace {

QString bridgeCommandUsage()
{
    return QStringLiteral(
        "usage: lockctl bridge [--x11] [--screensaver] [--logind] [--verbose]\n"
        "\n"
        "Raises the lock screen by itself on a desktop: listens to the sources below and\n"
        "sends LCDOff and LCDOn on EZX/System, as lockctl send does, until SIGTERM or\n"
        "SIGINT (exit code 0). Without a source option every source is used; a source\n"
        "that cannot be reached is named once on standard error and skipped.\n"
        "\n"
        "  --x11          the X server's screen saver (MIT-SCREEN-SAVER on $DISPLAY):\n"
        "                 blanked (its time-out, xset s activate) sends LCDOff,\n"
        "                 unblanked (input, xset s reset) sends LCDOn\n"
        "  --screensaver  the desktop's screen-saver service on the session bus\n"
        "                 (org.freedesktop.ScreenSaver, org.gnome.ScreenSaver):\n"
        "                 ActiveChanged(true) sends LCDOff, false sends LCDOn\n"
        "  --logind       systemd-logind on the system bus, this session\n"
        "                 ($XDG_SESSION_ID, else this user's active session of its seat):\n"
        "                 Lock (loginctl lock-session) sends LCDOff, then LCDOn unless\n"
        "                 the screen is blanked; before sleep, LCDOff; after resume, LCDOn.\n"
        "                 A delay inhibitor of sleep is held so that the machine sleeps\n"
        "                 only once the lock screen says it is shown (at most 3 s later);\n"
        "                 it is taken again after resume.\n"
        "  --verbose      one line per event on standard output: the source, the event\n"
        "                 and the message sent\n"
        "\n"
        "The bridge learns from lockapp (org.lockapp.LockScreen on the session bus)\n"
        "whether the lock screen is shown: every lock, blank or sleep that finds it\n"
        "not shown sends LCDOff, one that finds it shown and dark sends nothing. From a\n"
        "lock until lockapp reports the unlock the session counts as locked: a lockapp\n"
        "that (re)appears on the bus then is raised at once. Services that stop and\n"
        "start again are picked up by their bus names, a session bus that comes back\n"
        "is listened to again; only signals of the documented arguments, from the\n"
        "current owner of a service's name, count.\n"
        "\n"
        "Exit codes: 0 stopped by SIGTERM or SIGINT, 2 usage error.\n");
}

struct Options
{
    bool x11 = false;
    bool screenSaver = false;
    bool logind = false;
    bool verbose = false;
};

void warnSkipped(BridgeLog& log, const char* source, const QString& why)
{
    if (!why.isEmpty())
        log.warning(QLatin1String(source), why);
}

} // namespace

const lockctl::CommandSyntax bridgeCommandSyntax{ "bridge", bridgeCommandUsage };

int runBridgeCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    Options options;
    for (const QString& arg : args) {
        if (lockctl::CommandSyntax::isHelpOption(arg))
            return bridgeCommandSyntax.writeHelp(out);
        if (arg == QLatin1String("--x11")) {
            options.x11 = true;
        } else if (arg == QLatin1String("--screensaver")) {
            options.screenSaver = true;
        } else if (arg == QLatin1String("--logind")) {
            options.logind = true;
        } else if (arg == QLatin1String("--verbose") || arg == QLatin1String("-v")) {
            options.verbose = true;
        } else {
            return bridgeCommandSyntax.usageError(err, QStringLiteral("unknown argument '%1'").arg(arg));
        }
    }
    if (!options.x11 && !options.screenSaver && !options.logind)
        options.x11 = options.screenSaver = options.logind = true;

    // Installed before any source starts, so that a stop during start-up is
    // not lost.
    QuitSignals quit;
    BridgeLog log(options.verbose ? &out : nullptr, err);
    // The session bus carries the messages and lockapp's word on whether it is
    // shown, whatever the sources: connected now, so that the first message is
    // not held up by a connect. The connect is bounded in time, is retried in
    // the background, and without DBUS_SESSION_BUS_ADDRESS starts no bus.
    BusLink& sessionBus = BusLink::session();
    DisplayRelay relay(log);
    LockScreenWatch lockScreen(sessionBus, relay, log);
    lockScreen.start();
    QString why;

    std::unique_ptr<X11SaverSource> x11;
    if (options.x11) {
        x11 = X11SaverSource::open(relay, log, &why);
        if (x11 && !x11->start(&why))
            x11.reset();
        warnSkipped(log, X11SaverSource::Name, why);
        why.clear();
    }
    std::unique_ptr<ScreenSaverSource> screenSaver;
    if (options.screenSaver) {
        screenSaver = std::make_unique<ScreenSaverSource>(sessionBus, relay, log);
        if (!screenSaver->start(&why))
            screenSaver.reset();
        warnSkipped(log, ScreenSaverSource::Name, why);
        why.clear();
    }
    std::unique_ptr<LogindSource> logind;
    if (options.logind) {
        logind = std::make_unique<LogindSource>(QDBusConnection::systemBus(),
                                                qEnvironmentVariable("XDG_SESSION_ID"), relay, log);
        if (!logind->start(&why))
            logind.reset();
        warnSkipped(log, LogindSource::Name, why);
        why.clear();
    }

    QEventLoop loop;
    QObject::connect(&quit, &QuitSignals::received, &loop, &QEventLoop::quit);
    if (!quit.hasArrived())
        loop.exec();
    return lockctl::ExitOk;
}
