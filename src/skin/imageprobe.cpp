#include "skin/imageprobe.h"

#include "platform/regularfile.h"
#include "skin/jpegscan.h"
#include "skin/pngpart.h"

#include <QBuffer>
#include <QFile>
#include <QImageIOHandler>
#include <QImageReader>

#include <cerrno>
#include <climits>
#include <optional>

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
    // Divided rather than multiplied: a header may claim sides up to 2^31.
    return bytesPerLine > limit / size.height();
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

// Reads the regular file at name into data, at most ImageProbe::MaxFileBytes.
// Answers Loaded when the bytes are in data; *error is the reason of a failed
// step.
ImageProbe::Outcome readImageFile(const QByteArray& name, QByteArray* data, int* error)
{
    RegularFile file(name);
    *error = file.error();
    switch (file.status()) {
    case RegularFile::Status::Failed:
        return outcomeOfErrno(file.error());
    case RegularFile::Status::Folder:
        return ImageProbe::Folder;
    case RegularFile::Status::NotRegular:
        return ImageProbe::NotAFile;
    case RegularFile::Status::Open:
        break;
    }
    if (file.size() > ImageProbe::MaxFileBytes)
        return ImageProbe::FileTooLarge;
    // One byte past the bound tells a file that grew too large.
    if (!file.readAtMost(ImageProbe::MaxFileBytes + 1, data)) {
        *error = file.error();
        return ImageProbe::Unreadable;
    }
    if (data->size() > ImageProbe::MaxFileBytes) {
        data->clear();
        return ImageProbe::FileTooLarge;
    }
    return ImageProbe::Loaded;
}

// What decoding gave: Loaded, TooLarge or Broken, and the part's pixels.
struct DecodedPart
{
    ImageProbe::Outcome outcome = ImageProbe::Broken;
    QImage image;
    QString problem;
};

DecodedPart decodePng(const QByteArray& bytes, QRect part)
{
    if (exceedsAllocationLimit((part & QRect(QPoint(0, 0), PngPart::sizeOf(bytes))).size(), QImage::Format_ARGB32))
        return { ImageProbe::TooLarge, QImage(), QString() };
    PngPart png = PngPart::decode(bytes, part);
    if (!png.decoded)
        return { ImageProbe::Broken, QImage(), png.error };
    return { ImageProbe::Loaded, png.image, QString() };
}

// Through the toolkit's reader: cut while decoding where the format's reader
// can, else decoded whole and cut. Without a part (the reader knows no size
// before reading) the whole image is kept.
DecodedPart decodeWithReader(QImageReader& reader, std::optional<QRect> part)
{
    const QSize stored = reader.size();
    const bool clips = reader.supportsOption(QImageIOHandler::ClipRect);
    const bool cut = part && part->size() != stored;
    // With nothing of it to show the image is still decoded, a pixel of it,
    // so that data that cannot be decoded fails it as before.
    const QRect decodedPart = part && part->isEmpty() ? QRect(0, 0, 1, 1) : part.value_or(QRect());
    if (exceedsAllocationLimit(clips && cut ? decodedPart.size() : stored, reader.imageFormat()))
        return { ImageProbe::TooLarge, QImage(), QString() };
    if (clips && cut)
        reader.setClipRect(decodedPart);
    QImage image = reader.read();
    if (image.isNull())
        return { ImageProbe::Broken, QImage(), reader.errorString() };
    if (part && part->isEmpty())
        image = QImage();
    else if (cut && !clips)
        image = image.copy(*part);
    return { ImageProbe::Loaded, image, QString() };
}

} // namespace

ImageProbe ImageProbe::of(const QString& path, const VisiblePart& visible, Scan scan)
{
    ImageProbe probe;
    if (path.contains(QChar(0))) {
        probe.outcome = BadName;
        return probe;
    }
    QByteArray bytes;
    probe.outcome = readImageFile(QFile::encodeName(path), &bytes, &probe.error);
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
    probe.size = stored;
    if (stored.width() > MaxSide || stored.height() > MaxSide) {
        probe.outcome = TooLarge;
        return probe;
    }
    std::optional<QRect> part;
    if (stored.isValid()) {
        const QRect whole(QPoint(0, 0), stored);
        part = visible ? visible(stored) & whole : whole;
    }

    const DecodedPart decoded = probe.format == QLatin1String("png")
            ? decodePng(bytes, part.value_or(QRect(0, 0, INT_MAX, INT_MAX)))
            : decodeWithReader(reader, part);
    probe.outcome = decoded.outcome;
    probe.problem = decoded.problem;
    if (probe.outcome == TooLarge)
        probe.limitMiB = QImageReader::allocationLimit();
    if (probe.outcome != Loaded)
        return probe;
    probe.image = decoded.image;
    if (!stored.isValid())
        probe.size = probe.image.size();
    probe.offset = part && !part->isEmpty() ? part->topLeft() : QPoint();
    probe.wasCut = probe.image.size() != probe.size;

    if (scan == WholeData && probe.format == QLatin1String("jpeg")) {
        const JpegScan jpeg = JpegScan::of(bytes);
        if (!jpeg.whole) {
            probe.outcome = Damaged;
            probe.problem = jpeg.problem;
        }
    }
    return probe;
}
