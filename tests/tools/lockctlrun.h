#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class QTextStream;

// Running lockctl from the tests: a subcommand in-process, through its run
// function, or the built binary as a user would.

struct CommandResult
{
    int code = -1;
    QString out;
    QString err;
};

using LockctlCommand = int (*)(const QStringList& args, QTextStream& out, QTextStream& err);
CommandResult runInProcess(LockctlCommand command, const QStringList& args);

// The staged binary beside lockapp.
QString lockctlPath();

// Standard output and error as raw bytes; code -1 when it did not start,
// did not finish within a minute or crashed.
struct ProcessResult
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

ProcessResult runLockctl(const QStringList& args,
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
// The same, run by the shell with `redirect` applied to lockctl's standard
// output (">/dev/full", ">&-").
ProcessResult runLockctlRedirected(const QString& redirect, const QStringList& args,
                                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
