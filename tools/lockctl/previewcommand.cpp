#include "previewcommand.h"

#include "command.h"
#include "skinselection.h"
#include "previewsheet.h"

#include "app/framepreview.h"

#include <QCommandLineParser>
#include <QDateTime>

namespace {
QString defaultDir;

int usageError(QTextStream& err, const QString& message)
{
    err << "lockctl preview: " << message << '\n'
        << "usage: lockctl preview [--app-dir DIR] [--skin NAME] [--at \"YYYY-MM-DD HH:MM:SS\"] [--armed] [--sheet] "
           "[-o FILE.png]\n";
    return lockctl::ExitUsage;
}
} // namespace

void setDefaultAppDir(const QString& dir)
{
    defaultDir = dir;
}

QString previewCommandUsage()
{
    return QStringLiteral(
        "usage: lockctl preview [--app-dir DIR] [--skin NAME] [--at \"YYYY-MM-DD HH:MM:SS\"]\n"
        "                       [--armed] [--sheet] [-o FILE.png]\n"
        "\n"
        "Composes the lock screen's frame exactly as the lock window would show it at\n"
        "that local time, and writes it as PNG.\n"
        "\n"
        "  --app-dir DIR   the program folder with config.cfg and skin/ (default: the\n"
        "                  folder lockctl is installed in)\n"
        "  --skin NAME     preview skin/NAME instead of the skin config.cfg selects\n"
        "  --at TIME       local time \"YYYY-MM-DD HH:MM:SS\" (default: now)\n"
        "  --armed         show the hint as after the middle key\n"
        "  --sheet         one picture of frames at 00:00:00, 03:15:30, 09:41:27,\n"
        "                  12:00:00 and 23:59:59 of that day, not armed and armed\n"
        "  -o FILE.png     where to write (default: preview.png, or sheet.png with --sheet)\n"
        "\n"
        "Exit codes: 0 written, 1 nothing to show or the file could not be written,\n"
        "2 usage error.\n");
}

int runPreviewCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption appDirOption(QStringLiteral("app-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption skinOption(QStringLiteral("skin"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption atOption(QStringLiteral("at"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption armedOption(QStringLiteral("armed"));
    const QCommandLineOption sheetOption(QStringLiteral("sheet"));
    const QCommandLineOption outputOption(QStringList{ QStringLiteral("o"), QStringLiteral("output") }, QString(),
                                          QStringLiteral("FILE"));
    const QCommandLineOption helpOption(QStringList{ QStringLiteral("h"), QStringLiteral("help") });
    parser.addOptions({ appDirOption, skinOption, atOption, armedOption, sheetOption, outputOption, helpOption });

    if (!parser.parse(QStringList{ QStringLiteral("lockctl preview") } + args))
        return usageError(err, parser.errorText());
    if (parser.isSet(helpOption)) {
        out << previewCommandUsage();
        return lockctl::ExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(err, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    QDateTime at = QDateTime::currentDateTime();
    if (parser.isSet(atOption)) {
        at = QDateTime::fromString(parser.value(atOption), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!at.isValid())
            return usageError(err, QStringLiteral("'%1' is not a local time \"YYYY-MM-DD HH:MM:SS\"")
                                       .arg(parser.value(atOption)));
    }
    const bool sheet = parser.isSet(sheetOption);
    if (sheet && parser.isSet(armedOption))
        return usageError(err, QStringLiteral("--sheet shows both hints; --armed does not apply"));
    const QString output = parser.isSet(outputOption) ? parser.value(outputOption)
                                                      : (sheet ? QStringLiteral("sheet.png") : QStringLiteral("preview.png"));
    const SkinSelection selection = selectSkin(parser, appDirOption, skinOption, defaultDir);
    if (selection.exitCode == lockctl::ExitUsage)
        return usageError(err, selection.problem);
    if (!selection.problem.isEmpty()) {
        err << "lockctl preview: " << selection.problem << '\n';
        return selection.exitCode;
    }

    FramePreview preview(selection.appDir, selection.skin);
    if (!preview.hasFrame()) {
        err << "lockctl preview: the skin in " << preview.skinDir()
            << " has no loadable background image, so the lock screen shows no frame"
               " (lockctl check tells why)\n";
        return lockctl::ExitFailure;
    }
    const QImage image = sheet ? composePreviewSheet(preview, at.date())
                               : preview.frame(time_t(at.toSecsSinceEpoch()), parser.isSet(armedOption));
    if (!image.save(output, "PNG")) {
        err << "lockctl preview: cannot write " << output << '\n';
        return lockctl::ExitFailure;
    }
    out << "wrote " << output << '\n';
    return lockctl::ExitOk;
}
