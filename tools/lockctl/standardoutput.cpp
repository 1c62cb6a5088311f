#include "standardoutput.h"

#include "command.h"
#include "platform/standarddescriptors.h"

#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool stdoutWasClosed = false;
} // namespace

namespace lockctl {

void reopenClosedStandardDescriptors()
{
    // 1 and 2 on /dev/full: writes meant for a closed output fail.
    stdoutWasClosed = ::reopenClosedStandardDescriptors("/dev/full").test(STDOUT_FILENO);
}

int finishStandardOutput(QTextStream& out, QTextStream& err, int code)
{
    out.flush();
    // The stream's status covers its own flush of the C stream; ferror() is
    // no help, as the toolkit's file on stdout leaves it set after success.
    const bool lost = out.status() != QTextStream::Ok || std::fflush(stdout) != 0;
    if (!lost)
        return code;
    err << (stdoutWasClosed ? "lockctl: standard output is closed, so the output was lost\n"
                            : "lockctl: writing to standard output failed, so the output is incomplete\n");
    err.flush();
    return ExitFailure;
}

bool isStandardOutput(const QString& path)
{
    if (path == QLatin1String("-"))
        return true;
    struct stat target;
    struct stat output;
    return ::stat(QFile::encodeName(path).constData(), &target) == 0 && ::fstat(STDOUT_FILENO, &output) == 0
           && target.st_dev == output.st_dev && target.st_ino == output.st_ino;
}

} // namespace lockctl
