#include "platform/standarddescriptors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::bitset<3> reopenClosedStandardDescriptors(const char* output)
{
    std::bitset<3> closed;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        closed.set(std::size_t(fd));
        // open() returns the lowest free number, which is fd itself.
        const int opened = fd == STDIN_FILENO ? ::open("/dev/null", O_RDONLY) : ::open(output, O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    return closed;
}
