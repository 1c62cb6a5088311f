#include "imageprobe.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>

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

} // namespace

ImageProbe ImageProbe::of(const QString& path)
{
    ImageProbe probe;
    const QFileInfo info(path);
    if (!info.exists()) {
        probe.outcome = Missing;
        return probe;
    }
    if (info.isDir()) {
        probe.outcome = Folder;
        return probe;
    }
    if (!info.isFile()) {
        probe.outcome = NotAFile;
        return probe;
    }
    if (!info.isReadable()) {
        probe.outcome = Unreadable;
        return probe;
    }

    QImageReader reader(path);
    if (!reader.canRead()) {
        probe.outcome = NotAnImage;
        return probe;
    }
    probe.format = QString::fromLatin1(reader.format());
    if (exceedsAllocationLimit(reader.size(), reader.imageFormat())) {
        probe.outcome = TooLarge;
        probe.size = reader.size();
        probe.limitMiB = QImageReader::allocationLimit();
        return probe;
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        probe.outcome = Broken;
        return probe;
    }
    probe.outcome = Loaded;
    probe.size = image.size();
    return probe;
}
