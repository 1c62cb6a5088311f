#include "skin/pngpart.h"

#include <QtEndian>

#include <png.h>

#include <climits>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace {

struct Source
{
    const QByteArray* data;
    qsizetype offset = 0;
    QString error;
};

void readFromSource(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (length > size_t(source->data->size() - source->offset))
        png_error(png, "the data ends before the image does");
    std::memcpy(out, source->data->constData() + source->offset, length);
    source->offset += qsizetype(length);
}

// libpng's errors end in a longjmp back to the decoding function; the text is
// kept for the caller. Warnings (a bad ancillary chunk) change no pixel.
void keepError(png_structp png, png_const_charp message)
{
    static_cast<Source*>(png_get_error_ptr(png))->error = QString::fromLatin1(message);
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp, png_const_charp) {}

// Pixels as QImage holds ARGB32 and RGB32 in memory: one 32-bit word each.
void setOutputTransforms(png_structp png, png_infop info)
{
    const int colourType = png_get_color_type(png, info);
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    // Rounded as the toolkit rounds 16-bit samples down to 8.
    png_set_scale_16(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(png);
    if (!alpha)
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
#else
    if (alpha)
        png_set_swap_alpha(png);
    else
        png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
#endif
    png_read_update_info(png, info);
}

// Every row of every pass, the part's pixels copied out. Rows of an
// interlaced image come one pass at a time, each holding every n-th pixel.
// libpng's errors leave through a longjmp, which runs no destructor here:
// the row buffer belongs to the caller.
void readRows(png_structp png, png_infop info, QImage* image, QRect part, std::vector<png_byte>* buffer)
{
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    std::vector<png_byte>& row = *buffer;
    row.resize(png_get_rowbytes(png, info));
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const png_uint_32 rows = interlaced ? PNG_PASS_ROWS(height, pass) : height;
        const png_uint_32 cols = interlaced ? PNG_PASS_COLS(width, pass) : width;
        if (rows == 0 || cols == 0)
            continue;  // libpng skips empty passes too
        const int rowStart = interlaced ? PNG_PASS_START_ROW(pass) : 0;
        const int rowStep = interlaced ? PNG_PASS_ROW_OFFSET(pass) : 1;
        const int colStart = interlaced ? PNG_PASS_START_COL(pass) : 0;
        const int colStep = interlaced ? PNG_PASS_COL_OFFSET(pass) : 1;
        for (png_uint_32 r = 0; r < rows; ++r) {
            png_read_row(png, row.data(), nullptr);
            const qint64 y = rowStart + qint64(r) * rowStep;
            if (image->isNull() || y < part.top() || y > part.bottom())
                continue;
            auto* out = reinterpret_cast<quint32*>(image->scanLine(int(y - part.top())));
            const auto* in = reinterpret_cast<const quint32*>(row.data());
            if (!interlaced) {
                std::memcpy(out, in + part.left(), size_t(part.width()) * 4);
                continue;
            }
            // The first column of this pass at or right of the part's left edge.
            const qint64 first = qMax<qint64>(0, (part.left() - colStart + colStep - 1) / colStep);
            for (qint64 c = first; c < cols; ++c) {
                const qint64 x = colStart + c * colStep;
                if (x > part.right())
                    break;
                out[x - part.left()] = in[c];
            }
        }
    }
}

} // namespace

QSize PngPart::sizeOf(const QByteArray& data)
{
    // The signature, the IHDR chunk's length and type, then width and height.
    if (data.size() < 24 || png_sig_cmp(reinterpret_cast<png_const_bytep>(data.constData()), 0, 8) != 0
        || data.mid(12, 4) != "IHDR")
        return QSize();
    const auto* bytes = reinterpret_cast<const uchar*>(data.constData());
    const quint32 width = qFromBigEndian<quint32>(bytes + 16);
    const quint32 height = qFromBigEndian<quint32>(bytes + 20);
    if (width == 0 || height == 0 || width > quint32(INT_MAX) || height > quint32(INT_MAX))
        return QSize();
    return QSize(int(width), int(height));
}

PngPart PngPart::decode(const QByteArray& data, QRect part)
{
    PngPart result;
    Source source { &data, 0, QString() };
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, keepError, ignoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        result.error = QStringLiteral("out of memory");
        return result;
    }
    // Everything a longjmp from libpng must leave valid lives outside this
    // block and is only reached through pointers inside it.
    QImage image;
    QImage* target = &image;
    std::vector<png_byte> row;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_read_fn(png, &source, readFromSource);
        png_read_info(png, info);
        setOutputTransforms(png, info);
        const QRect stored(0, 0, int(png_get_image_width(png, info)), int(png_get_image_height(png, info)));
        part &= stored;
        if (!part.isEmpty()) {
            // After the transforms: alpha in the file, or made from its tRNS chunk.
            const bool alpha = png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA;
            *target = QImage(part.size(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            if (target->isNull())
                png_error(png, "out of memory");
        }
        readRows(png, info, target, part, &row);
        // Every pixel is in: damage after the image data (a chunk cut short
        // at the end) changes none of them, and the toolkit's reader shows
        // such an image too.
        result.decoded = true;
        png_read_end(png, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (result.decoded)
        result.image = image;
    else
        result.error = source.error;
    return result;
}
