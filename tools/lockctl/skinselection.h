#pragma once

#include <QString>

class QCommandLineOption;
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

// defaultDir is the folder used without --app-dir (lockctl's own).
SkinSelection selectSkin(const QCommandLineParser& parser, const QCommandLineOption& appDirOption,
                         const QCommandLineOption& skinOption, const QString& defaultDir);
