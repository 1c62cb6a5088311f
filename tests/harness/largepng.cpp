#include "harness/largepng.h"

#include <QFile>

#include <png.h>

#include <cstdio>
#include <vector>

namespace {
const QRgb Palette[4] = { qRgb(200, 30, 30), qRgb(30, 160, 40), qRgb(20, 40, 190), qRgb(230, 210, 40) };

int paletteIndex(int x, int y)
{
    return (x / 16 + y / 16 * 3) % 4;
}
} // namespace

QRgb LargePng::pixel(int x, int y)
{
    return Palette[paletteIndex(x, y)];
}

bool LargePng::write(const QString& path, int width, int height, bool interlaced)
{
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<size_t>(width));
    bool written = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_PALETTE,
                     interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color colours[4];
        for (int i = 0; i < 4; ++i)
            colours[i] = { png_byte(qRed(Palette[i])), png_byte(qGreen(Palette[i])), png_byte(qBlue(Palette[i])) };
        png_set_PLTE(png, info, colours, 4);
        // Rows repeat 16 times: the filter that subtracts the row above
        // leaves zeros, which the fastest compression packs well.
        png_set_filter(png, 0, PNG_FILTER_UP);
        png_set_compression_level(png, 1);
        png_write_info(png, info);
        // Interlaced, every row goes in once per pass; libpng picks its pixels.
        const int passes = png_set_interlace_handling(png);
        for (int pass = 0; pass < passes; ++pass) {
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x)
                    row[size_t(x)] = png_byte(paletteIndex(x, y));
                png_write_row(png, row.data());
            }
        }
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}
