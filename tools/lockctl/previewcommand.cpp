#include "previewcommand.h"

#include "command.h"
#include "skinselection.h"
#include "previewsheet.h"
#include "standardoutput.h"

#include "app/framepreview.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileDevice>

namespace {

QString previewCommandUsage()
{
    return QStringLiteral(
        "usage: lockctl preview [--app-dir DIR] [--skin NAME] [--at \"YYYY-MM-DD HH:MM:SS\"]\n"
        "                       [--armed] [--sheet] [-o FILE.png]\n"
        "\n"
        "Composes the lock screen's frame exactly as the lock window would show it at\n"
        "that local time, and writes it as PNG.\n"
        "\n")
        + SkinSelectionOptions::help("preview")
        + QStringLiteral(
        "  --at TIME       local time \"YYYY-MM-DD HH:MM:SS\" (default: now)\n"
        "  --armed         show the hint as after the middle key\n"
        "  --sheet         one picture of frames at 00:00:00, 03:15:30, 09:41:27,\n"
        "                  12:00:00 and 23:59:59 of that day, not armed and armed\n"
        "  -o FILE.png     where to write (default: preview.png, or sheet.png with --sheet);\n"
        "                  - writes the PNG to standard output\n"
        "\n"
        "Exit codes: 0 written, 1 nothing to show or the file could not be written,\n"
        "2 usage error.\n");
}

} // namespace

const lockctl::CommandSyntax previewCommandSyntax{ "preview", previewCommandUsage };

int runPreviewCommand(const QStringList& args, QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    const SkinSelectionOptions selectionOptions;
    const QCommandLineOption atOption(QStringLiteral("at"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption armedOption(QStringLiteral("armed"));
    const QCommandLineOption sheetOption(QStringLiteral("sheet"));
    const QCommandLineOption outputOption(QStringList{ QStringLiteral("o"), QStringLiteral("output") }, QString(),
                                          QStringLiteral("FILE"));
    parser.addOptions(selectionOptions.options() << atOption << armedOption << sheetOption << outputOption);
    if (const std::optional<int> done = previewCommandSyntax.parseOptions(parser, args, out, err))
        return *done;

    QDateTime at = QDateTime::currentDateTime();
    if (parser.isSet(atOption)) {
        const QString text = parser.value(atOption);
        const QDate day = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
        const QTime time = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
        if (text.size() != 19 || text.at(10) != QLatin1Char(' ') || !day.isValid() || !time.isValid())
            return previewCommandSyntax.usageError(err,
                QStringLiteral("'%1' is not a local time \"YYYY-MM-DD HH:MM:SS\"").arg(text));
        at = shownLocalTime(day, time);
        if (!at.isValid())
            return previewCommandSyntax.failure(err, text + QStringLiteral(" does not exist in the local time zone"));
        // A moment the clocks skip; with --sheet only the day counts.
        if (at.time() != time && !parser.isSet(sheetOption))
            err << "lockctl preview: " << text << " does not exist in the local time zone; the frame shows "
                << at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << ", the first second after it\n";
    }
    const bool sheet = parser.isSet(sheetOption);
    if (sheet && parser.isSet(armedOption))
        return previewCommandSyntax.usageError(err, QStringLiteral("--sheet shows both hints; --armed does not apply"));
    const QString output = parser.isSet(outputOption) ? parser.value(outputOption)
                                                      : (sheet ? QStringLiteral("sheet.png") : QStringLiteral("preview.png"));
    const SkinSelection selection = selectionOptions.select(parser, previewCommandSyntax, err);
    if (!selection.problem.isEmpty())
        return selection.exitCode;

    FramePreview preview(selection.appDir, selection.skin);
    if (!preview.hasFrame())
        return previewCommandSyntax.failure(err,
            QStringLiteral("the skin in %1 has no loadable background image, so the lock "
                           "screen shows no frame (lockctl check tells why)")
                .arg(preview.skinDir()));
    QStringList moved;
    const QImage image = sheet ? composePreviewSheet(preview, at.date(), &moved)
                               : preview.frame(time_t(at.toSecsSinceEpoch()), parser.isSet(armedOption));
    for (const QString& line : moved)
        err << "lockctl preview: " << line << '\n';
    // The picture may go to standard output; the status line then goes to
    // standard error, so that it never mixes with the picture's bytes.
    if (lockctl::isStandardOutput(output) && out.device()) {
        out.flush();
        QIODevice* device = out.device();
        auto* file = qobject_cast<QFileDevice*>(device);
        if (!image.save(device, "PNG") || (file && !file->flush()))
            return previewCommandSyntax.failure(err, QStringLiteral("cannot write the PNG to standard output"));
        err << "wrote the PNG to standard output\n";
        return lockctl::ExitOk;
    }
    if (!image.save(output, "PNG"))
        return previewCommandSyntax.failure(err, QStringLiteral("cannot write ") + output);
    out << "wrote " << output << '\n';
    return lockctl::ExitOk;
}
