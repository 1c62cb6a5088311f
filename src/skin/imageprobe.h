#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// How the lock screen loads one image file of a skin, and what became of it.
// Exactly the named file is opened (the toolkit's own reader would try the
// name with image suffixes added), only a regular file, without waiting on
// it, and read up to MaxFileBytes; the format is recognised from the
// contents. The lock screen and the skin checker both load through here.
struct ImageProbe
{
    enum Outcome {
        Loaded,
        Missing,       // nothing at the path
        BadName,       // the name holds a NUL byte, which no file name can
        Loop,          // symbolic links that lead back to themselves
        Folder,        // a folder where a file should be
        NotAFile,      // a device, FIFO or socket: never opened, it might block
        Unreadable,    // no permission to read, or reading failed
        FileTooLarge,  // more than MaxFileBytes on disk
        NotAnImage,    // no reader recognises the contents
        TooLarge,      // beyond the toolkit's image allocation limit
        Broken,        // recognised, but the data cannot be decoded
    };

    // No image file a skin needs comes near this; a bigger one is not read.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

    Outcome outcome = Missing;
    QImage image;          // the loaded image, cut as asked; null otherwise
    QSize size;            // of the image as stored, also of a too large one
    bool wasCut = false;   // the image was larger than cutTo and was cut
    QString format;        // "png", "jpeg", ... once recognised
    qint64 limitMiB = 0;   // the allocation limit, for TooLarge
    int error = 0;         // the system's reason (errno), for Unreadable

    // Loads path. A valid cutTo keeps only the top-left part of that size of
    // a larger image: what lies beyond the screen is never shown.
    static ImageProbe of(const QString& path, QSize cutTo = QSize());
};
