#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

// A PNG decoded row by row, keeping only the pixels of one rectangle: an image
// far larger than the screen costs the memory of the part that shows, plus
// a row. Every row is still decoded, so that image data damaged anywhere
// fails the image as a whole-image decoder would.
struct PngPart
{
    QImage image;  // the part: ARGB32 with alpha in the file, else RGB32;
                   // null when the data cannot be decoded or the part is empty
    bool decoded = false;  // every row decoded
    QString error;         // why not, in libpng's words

    // Reads the header only: the stored size, or an invalid size.
    static QSize sizeOf(const QByteArray& data);

    // part is in the image's coordinates; what lies outside the image is
    // dropped from it.
    static PngPart decode(const QByteArray& data, QRect part);
};
