#include "platform/regularfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

RegularFile::Status statusOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return RegularFile::Status::Folder;
    if (!S_ISREG(mode))
        return RegularFile::Status::NotRegular;
    return RegularFile::Status::Open;
}

} // namespace

RegularFile::RegularFile(const QByteArray& name)
{
    // The system would stop at a NUL and open another file.
    if (name.contains('\0')) {
        m_error = EINVAL;
        return;
    }
    struct stat info;
    if (::stat(name.constData(), &info) != 0) {
        m_error = errno;
        return;
    }
    if (m_status = statusOfMode(info.st_mode); m_status != Status::Open)
        return;
    // O_NONBLOCK: a path swapped for a FIFO since stat does not wait for a
    // writer (fstat then refuses it), and a regular file whose read would
    // block (some in /proc) fails instead of stalling.
    m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno;
        m_status = Status::Failed;
        return;
    }
    if (::fstat(m_fd, &info) != 0) {
        m_error = errno;
        m_status = Status::Failed;
    } else {
        m_status = statusOfMode(info.st_mode);
        m_size = info.st_size;
    }
    if (m_status != Status::Open) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RegularFile::~RegularFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RegularFile::readAtMost(qint64 limit, QByteArray* data)
{
    data->clear();
    if (m_fd < 0)
        return false;
    // The size is only a hint: files in /proc report 0, and files grow.
    data->resize(qBound<qint64>(qMin<qint64>(4096, limit), m_size + 1, limit));
    qint64 total = 0;
    while (total < limit) {
        if (total == data->size())
            data->resize(qMin(limit, qint64(data->size()) * 2));
        const ssize_t n = ::read(m_fd, data->data() + total, size_t(data->size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_error = errno;
            data->clear();
            return false;
        }
        if (n == 0)
            break;
        total += n;
    }
    data->truncate(total);
    return true;
}
