#include "checkcommand.h"

#include "command.h"
#include "skinselection.h"
#include "skincheck/skinchecker.h"

#include <QCommandLineParser>

namespace {

QString checkCommandUsage()
{
    return QStringLiteral(
        "usage: lockctl check [--app-dir DIR] [--skin NAME]\n"
        "\n"
        "Reads config.cfg and the skin it selects the way the lock screen does, and\n"
        "reports what the lock screen would silently get wrong, one line per problem:\n"
        "\n"
        "    FILE:LINE: error: MESSAGE\n"
        "    FILE:LINE: warning: MESSAGE\n"
        "\n"
        "then a summary (\"2 errors, 1 warning\" or \"no problems\").\n"
        "\n"
        "Errors: something shown or done differently from what the file asks for: a\n"
        "missing group or key (reported on the line of its group, or on line 1), a\n"
        "value that falls back to its default, a colour that is not a decimal\n"
        "number, an image that cannot be loaded, a size or hand length of zero or\n"
        "less, a clock centre or text baseline off the 240 x 320 screen, a Skin that\n"
        "names no folder, a missing TimeOut.\n"
        "Warnings: text that is ignored or suspicious: unknown groups and keys (with\n"
        "a guess at what was meant), repeated keys, lines the reader ignores, a file\n"
        "cut at 1 MiB, a hand width of zero or less, a TimeOut of zero or less or\n"
        "under half a second, a clock face partly off the screen, a background not of\n"
        "the screen's size.\n"
        "\n")
        + SkinSelectionOptions::help("check")
        + QStringLiteral(
        "\n"
        "Exit codes: 0 no errors (warnings allowed), 1 errors found or no such skin\n"
        "folder, 2 usage error.\n");
}

} // namespace

const lockctl::CommandSyntax checkCommandSyntax{ "check", checkCommandUsage };

int runCheckCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const SkinSelectionOptions selectionOptions;
    parser.addOptions(selectionOptions.options());
    if (const std::optional<int> done = checkCommandSyntax.parseOptions(parser, args, out, err))
        return *done;
    const SkinSelection selection = selectionOptions.select(parser, checkCommandSyntax, err);
    if (!selection.problem.isEmpty())
        return selection.exitCode;

    const CheckReport report = SkinChecker(selection.appDir, selection.skin).check();
    for (const CheckDiagnostic& diagnostic : report.diagnostics())
        out << diagnostic.toString() << '\n';
    out << report.summary() << '\n';
    out.flush();
    return report.errorCount() > 0 ? lockctl::ExitFailure : lockctl::ExitOk;
}
