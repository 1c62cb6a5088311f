#pragma once

// What every lockctl subcommand shares. A subcommand is a function
//     int runXxxCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// taking the arguments after its name, writing its results to `out` and its
// complaints to `err`, and returning the process exit code; plus a function
// returning its help text. main.cpp lists them in its dispatch table. Keeping
// them free of QCoreApplication state lets the tests run them in-process.

#include <QString>

class QTextStream;

namespace lockctl {

constexpr int ExitOk = 0;       // done
constexpr int ExitFailure = 1;  // the command could not do its work
constexpr int ExitUsage = 2;    // wrong command line: nothing was done

// Writes "lockctl COMMAND: MESSAGE" and the command's usage line to err;
// returns ExitUsage.
int usageError(QTextStream& err, const char* command, const QString& message, const char* usage);

} // namespace lockctl
