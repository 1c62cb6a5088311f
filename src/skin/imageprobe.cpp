#include "skin/imageprobe.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The toolkit's own test before it allocates an image: the bytes of the
// image in the format the reader announces, rows padded to 32 bits, against
// the allocation limit in MiB (0: no limit). Checking first spares reading
// (and a warning from the toolkit) for images it would refuse anyway.
bool exceedsAllocationLimit(QSize size, QImage::Format format)
{
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (limit <= 0 || format == QImage::Format_Invalid || size.isEmpty())
        return false;
    const qint64 depth = QImage::toPixelFormat(format).bitsPerPixel();
    const qint64 bytesPerLine = (qint64(size.width()) * depth + 31) / 32 * 4;
    return bytesPerLine * size.height() > limit;
}

ImageProbe::Outcome outcomeOfErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
        return ImageProbe::Missing;
    case ELOOP:
        return ImageProbe::Loop;
    default:
        return ImageProbe::Unreadable;
    }
}

ImageProbe::Outcome outcomeOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return ImageProbe::Folder;
    if (!S_ISREG(mode))
        return ImageProbe::NotAFile;
    return ImageProbe::Loaded;
}

// Reads the regular file at name into data, at most ImageProbe::MaxFileBytes.
// Answers Loaded when the bytes are in data; *error is the reason of a failed
// step.
ImageProbe::Outcome readRegularFile(const QByteArray& name, QByteArray* data, int* error)
{
    // stat before open: opening some devices already has an effect.
    struct stat info;
    if (::stat(name.constData(), &info) != 0)
        return outcomeOfErrno(*error = errno);
    if (const ImageProbe::Outcome kind = outcomeOfMode(info.st_mode); kind != ImageProbe::Loaded)
        return kind;
    // O_NONBLOCK: a path swapped for a FIFO since stat does not wait for a
    // writer (fstat then refuses it), and a regular file whose read would
    // block (some in /proc) fails instead of stalling.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return outcomeOfErrno(*error = errno);
    ImageProbe::Outcome outcome = ImageProbe::Loaded;
    if (::fstat(fd, &info) != 0) {
        *error = errno;
        outcome = ImageProbe::Unreadable;
    } else if (outcome = outcomeOfMode(info.st_mode); outcome == ImageProbe::Loaded) {
        if (info.st_size > ImageProbe::MaxFileBytes) {
            outcome = ImageProbe::FileTooLarge;
        } else {
            // st_size is only a hint: files in /proc report 0, and files grow.
            // One byte past the bound tells a file that is too large.
            const qint64 bound = ImageProbe::MaxFileBytes + 1;
            data->resize(qBound<qint64>(4096, qint64(info.st_size) + 1, bound));
            qint64 total = 0;
            while (total < bound) {
                if (total == data->size())
                    data->resize(qMin(bound, qint64(data->size()) * 2));
                const ssize_t n = ::read(fd, data->data() + total, size_t(data->size() - total));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    *error = errno;
                    outcome = ImageProbe::Unreadable;
                    break;
                }
                if (n == 0)
                    break;
                total += n;
            }
            if (total > ImageProbe::MaxFileBytes)
                outcome = ImageProbe::FileTooLarge;
            data->truncate(outcome == ImageProbe::Loaded ? total : 0);
        }
    }
    ::close(fd);
    return outcome;
}

} // namespace

ImageProbe ImageProbe::of(const QString& path, QSize cutTo)
{
    ImageProbe probe;
    if (path.contains(QChar(0))) {
        probe.outcome = BadName;
        return probe;
    }
    QByteArray bytes;
    probe.outcome = readRegularFile(QFile::encodeName(path), &bytes, &probe.error);
    if (probe.outcome != Loaded)
        return probe;

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // No format named and no file name to guess from: the contents decide.
    QImageReader reader(&buffer);
    if (!reader.canRead()) {
        probe.outcome = NotAnImage;
        return probe;
    }
    probe.format = QString::fromLatin1(reader.format());
    const QSize stored = reader.size();
    if (exceedsAllocationLimit(stored, reader.imageFormat())) {
        probe.outcome = TooLarge;
        probe.size = stored;
        probe.limitMiB = QImageReader::allocationLimit();
        return probe;
    }
    if (cutTo.isValid() && stored.isValid() && (stored.width() > cutTo.width() || stored.height() > cutTo.height()))
        reader.setClipRect(QRect(QPoint(0, 0), stored.boundedTo(cutTo)));
    probe.image = reader.read();
    if (probe.image.isNull()) {
        probe.outcome = Broken;
        return probe;
    }
    probe.outcome = Loaded;
    probe.size = stored.isValid() ? stored : probe.image.size();
    // A reader that knew no size before reading is cut afterwards.
    if (cutTo.isValid() && (probe.image.width() > cutTo.width() || probe.image.height() > cutTo.height()))
        probe.image = probe.image.copy(QRect(QPoint(0, 0), probe.image.size().boundedTo(cutTo)));
    probe.wasCut = probe.image.size() != probe.size;
    return probe;
}
