#pragma once

// What every lockctl subcommand shares. A subcommand is a function
//     int runXxxCommand(const QStringList& args, QTextStream& out, QTextStream& err);
// taking the arguments after its name, writing its results to `out` and its
// complaints to `err`, and returning the process exit code; plus its
// CommandSyntax, which holds its name and help text. main.cpp lists them in
// its dispatch table. Keeping them free of QCoreApplication state lets the
// tests run them in-process.

#include <QString>
#include <QStringList>

#include <optional>

class QCommandLineParser;
class QTextStream;

namespace lockctl {

constexpr int ExitOk = 0;       // done
constexpr int ExitFailure = 1;  // the command could not do its work
constexpr int ExitUsage = 2;    // wrong command line: nothing was done

// How a subcommand is called.
struct CommandSyntax
{
    const char* name;
    QString (*help)();          // begins "usage: lockctl NAME ..." and a blank line
    const char* hint = nullptr;  // said with the usage line after a usage error

    // The usage line of the help text, on one line, with the hint and where
    // the help is.
    QString usageLine() const;

    // Writes "lockctl NAME: MESSAGE" and the usage line to err; returns ExitUsage.
    int usageError(QTextStream& err, const QString& message) const;
    // Writes "lockctl NAME: MESSAGE" to err; returns ExitFailure.
    int failure(QTextStream& err, const QString& message) const;
    // Writes the help text to out; returns ExitOk.
    int writeHelp(QTextStream& out) const;
    // Whether arg asks for the help text: -h or --help.
    static bool isHelpOption(const QString& arg);

    // Parses args, options only, into parser, which holds the subcommand's
    // options (-h/--help is added here). No value when the subcommand is to
    // go on; else its exit code: ExitOk after the help text went to out,
    // ExitUsage after a usage error (an unknown option, any argument).
    std::optional<int> parseOptions(QCommandLineParser& parser, const QStringList& args, QTextStream& out,
                                    QTextStream& err) const;
};

} // namespace lockctl
