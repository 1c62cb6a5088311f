#include "standardoutput.h"

#include "command.h"

#include <QFile>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool stdoutWasClosed = false;

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}
} // namespace

namespace lockctl {

void reopenClosedStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (isOpen(fd))
            continue;
        if (fd == STDOUT_FILENO)
            stdoutWasClosed = true;
        // open() returns the lowest free number, which is fd itself.
        const int opened = ::open(fd == STDIN_FILENO ? "/dev/null" : "/dev/full", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
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
