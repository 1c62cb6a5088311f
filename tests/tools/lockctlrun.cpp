#include "lockctlrun.h"

#include <QProcess>
#include <QTextStream>

CommandResult runInProcess(LockctlCommand command, const QStringList& args)
{
    CommandResult r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.code = command(args, out, err);
    out.flush();
    err.flush();
    return r;
}

QString lockctlPath()
{
    return QStringLiteral(LOCKAPP_STAGE_DIR "/lockctl");
}

namespace {
ProcessResult run(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProcessResult r;
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
        return r;
    r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = process.readAllStandardOutput();
    r.err = process.readAllStandardError();
    return r;
}
} // namespace

ProcessResult runLockctl(const QStringList& args, const QProcessEnvironment& env)
{
    return run(lockctlPath(), args, env);
}

ProcessResult runLockctlRedirected(const QString& redirect, const QStringList& args, const QProcessEnvironment& env)
{
    return run(QStringLiteral("/bin/sh"),
               QStringList{ QStringLiteral("-c"), QStringLiteral("exec \"$0\" \"$@\" ") + redirect, lockctlPath() } + args,
               env);
}
