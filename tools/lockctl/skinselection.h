#pragma once

#include "command.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

// The program folder and the skin that `check` and `preview` work on, read
// from --app-dir and --skin and checked alike for both.
struct SkinSelection
{
    QString appDir;    // ends in "/", in the form the lock screen derives it
    QString skin;      // null: the skin config.cfg selects
    QString problem;   // empty when the selection can be used
    int exitCode = 0;  // with a problem: lockctl::ExitUsage or lockctl::ExitFailure
};

// The --app-dir and --skin options that `check` and `preview` share.
struct SkinSelectionOptions
{
    QCommandLineOption appDir { QStringLiteral("app-dir"), QString(), QStringLiteral("DIR") };
    QCommandLineOption skin { QStringLiteral("skin"), QString(), QStringLiteral("NAME") };

    QList<QCommandLineOption> options() const { return { appDir, skin }; }
    // The help lines of both options; `verb` says what the command does to
    // the skin ("check", "preview").
    static QString help(const char* verb);
    // Without --app-dir the folder is lockctl's own. A problem is said on
    // err, as a usage error of `command` where the command line is wrong.
    SkinSelection select(const QCommandLineParser& parser, const lockctl::CommandSyntax& command,
                         QTextStream& err) const;
};
