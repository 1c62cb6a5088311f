#pragma once

#include <QRgb>
#include <QString>

// PNG files of any size up to the format's limit, written a row at a time:
// a 16384 x 16384 image takes a row of memory to write and compresses to
// well under a megabyte. Their pixels are squares of 16 pixels in four
// colours, so a part of one is told from any other part.
namespace LargePng {
// The colour of pixel (x, y).
QRgb pixel(int x, int y);

// Writes a width x height image to path, interlaced (Adam7) if asked; false
// (and nothing usable) on failure.
bool write(const QString& path, int width, int height, bool interlaced = false);
} // namespace LargePng
