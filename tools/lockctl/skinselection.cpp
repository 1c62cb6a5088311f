#include "skinselection.h"

#include "command.h"

#include "skin/skinfolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

QString SkinSelectionOptions::help(const char* verb)
{
    return QStringLiteral("  --app-dir DIR   the program folder with config.cfg and skin/ (default: the\n"
                          "                  folder lockctl is installed in)\n"
                          "  --skin NAME     %1 skin/NAME instead of the skin config.cfg selects;\n"
                          "                  config.cfg then needs no Skin\n")
            .arg(QLatin1String(verb));
}

SkinSelection SkinSelectionOptions::select(const QCommandLineParser& parser, const lockctl::CommandSyntax& command,
                                           QTextStream& err) const
{
    SkinSelection selection;
    const auto fail = [&](int exitCode, const QString& problem) {
        if (exitCode == lockctl::ExitUsage)
            command.usageError(err, problem);
        else
            command.failure(err, problem);
        selection.exitCode = exitCode;
        selection.problem = problem;
        return selection;
    };
    if (parser.values(appDir).size() > 1 || parser.values(skin).size() > 1)
        return fail(lockctl::ExitUsage, QStringLiteral("--app-dir and --skin may be given once each"));

    const QString dir = parser.isSet(appDir) ? parser.value(appDir) : QCoreApplication::applicationDirPath();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return fail(lockctl::ExitUsage, QStringLiteral("'%1' is not a folder").arg(dir));
    selection.appDir = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');

    if (parser.isSet(skin)) {
        const QString name = parser.value(skin);
        if (name.isEmpty())
            return fail(lockctl::ExitUsage, QStringLiteral("--skin needs a skin name"));
        const QString skinDir = skinFolder(selection.appDir, name);
        if (!QFileInfo(skinDir).isDir())
            return fail(lockctl::ExitFailure, QStringLiteral("there is no skin folder ") + QDir::cleanPath(skinDir));
        selection.skin = name;
    }
    return selection;
}
