// lockctl: the lock screen's companion tool for the command line.
//
//     lockctl SUBCOMMAND [ARGS...]
//     lockctl help [SUBCOMMAND]    lockctl --help    lockctl --version
//
// Exit codes: 0 done, 1 the command failed, 2 usage error (message on stderr).

#include "bridgecommand.h"
#include "checkcommand.h"
#include "command.h"
#include "lunarcommand.h"
#include "previewcommand.h"
#include "sendcommand.h"
#include "standardoutput.h"

#include "platform/zapplication.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <memory>

#ifndef LOCKCTL_VERSION
#error "LOCKCTL_VERSION must be defined by the build"
#endif

namespace {

struct Subcommand
{
    const lockctl::CommandSyntax& syntax;  // its name and help text
    const char* summary;  // one line for the overview
    int (*run)(const QStringList& args, QTextStream& out, QTextStream& err);
    bool needsGui = false;  // composes frames with the lock window's code
};

// The subcommands, in the order the overview lists them. To add one: write its
// run function and CommandSyntax (see command.h) in the lockctl_commands
// library and add a line here.
const Subcommand subcommands[] = {
    {sendCommandSyntax, "send a message on a system channel (EZX/System LCDOff)", runSendCommand},
    {previewCommandSyntax, "write a frame of a skin as PNG, or a sheet of frames", runPreviewCommand, true},
    {lunarCommandSyntax, "print the Chinese lunar date text of Gregorian dates", runLunarCommand},
    {checkCommandSyntax, "report what the lock screen would get wrong in config.cfg and a skin", runCheckCommand},
    {bridgeCommandSyntax, "send LCDOff/LCDOn when the desktop blanks, locks or sleeps", runBridgeCommand},
};

const Subcommand* findSubcommand(const QString& name)
{
    for (const Subcommand& s : subcommands)
        if (name == QLatin1String(s.syntax.name))
            return &s;
    return nullptr;
}

void printOverview(QTextStream& stream)
{
    stream << "usage: lockctl SUBCOMMAND [ARGS...]\n"
              "       lockctl help [SUBCOMMAND] | --help | --version\n"
              "\n"
              "Companion tool of the lockapp lock screen.\n"
              "\n"
              "Subcommands:\n";
    for (const Subcommand& s : subcommands)
        stream << "  " << QString::fromLatin1(s.syntax.name).leftJustified(10) << s.summary << '\n';
    stream << "\nExit codes: 0 done, 1 failed, 2 usage error.\n";
}

int usageError(QTextStream& err, const QString& message)
{
    err << "lockctl: " << message << "\n\n";
    printOverview(err);
    return lockctl::ExitUsage;
}

int dispatch(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty())
        return usageError(err, QStringLiteral("no subcommand given"));
    const QString& first = args.at(0);
    if (first == QLatin1String("--help") || first == QLatin1String("-h")
        || (first == QLatin1String("help") && args.size() == 1)) {
        printOverview(out);
        return lockctl::ExitOk;
    }
    if (first == QLatin1String("--version")) {
        out << "lockctl " << LOCKCTL_VERSION << '\n';
        return lockctl::ExitOk;
    }
    if (first == QLatin1String("help")) {
        if (args.size() > 2)
            return usageError(err, QStringLiteral("help takes at most one subcommand"));
        const Subcommand* s = findSubcommand(args.at(1));
        if (s == nullptr)
            return usageError(err, QStringLiteral("unknown subcommand '%1'").arg(args.at(1)));
        out << s->syntax.help();
        return lockctl::ExitOk;
    }
    const Subcommand* s = findSubcommand(first);
    if (s == nullptr)
        return usageError(err, QStringLiteral("unknown subcommand '%1'").arg(first));
    return s->run(args.mid(1), out, err);
}

// The subcommand named on the command line, if any.
const Subcommand* requestedSubcommand(int argc, char** argv)
{
    return argc > 1 ? findSubcommand(QString::fromLocal8Bit(argv[1])) : nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    lockctl::reopenClosedStandardDescriptors();
    // Composing frames needs the lock window's toolkit, without a display and
    // with the same text resolution as lockapp.
    std::unique_ptr<QCoreApplication> app;
    const Subcommand* requested = requestedSubcommand(argc, argv);
    if (requested && requested->needsGui) {
        // Frames are composed off the screen whatever platform the
        // environment names: a display is never needed, nor used.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        ZApplication::useOffscreenPhoneScreen();
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("lockctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(LOCKCTL_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    const int code = lockctl::finishStandardOutput(out, err, dispatch(QCoreApplication::arguments().mid(1), out, err));
    err.flush();
    return code;
}
