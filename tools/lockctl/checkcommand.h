#pragma once

#include "command.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

// lockctl check [--app-dir DIR] [--skin NAME]
//
// Reads config.cfg and the skin the way lockapp does (SkinChecker,
// skincheck/skinchecker.h) and prints each problem on out as
// "FILE:LINE: error: ..." or "FILE:LINE: warning: ...", then a summary line
// ("2 errors, 1 warning", "no problems"). DIR defaults to the folder of the
// running executable, where lockctl is installed beside lockapp.
//
// Returns lockctl::ExitOk when there is no error (warnings allowed),
// lockctl::ExitFailure when there is one or when --skin names no folder, and
// lockctl::ExitUsage after a message on err for a wrong command line or a
// DIR that is not a folder. "-h" / "--help" prints the help text on out.
int runCheckCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// How the check subcommand is called: its name and its help text.
extern const lockctl::CommandSyntax checkCommandSyntax;
