#pragma once

#include <QSize>
#include <QString>

// What the lock screen gets when it loads an image file: the same reader
// with no format named, so the format is recognised from the contents.
struct ImageProbe
{
    enum Outcome {
        Loaded,
        Missing,     // nothing at the path
        Folder,      // a folder where a file should be
        NotAFile,    // a device, FIFO or socket: never opened, it might block
        Unreadable,  // no permission to read
        NotAnImage,  // no reader recognises the contents
        TooLarge,    // beyond the toolkit's image allocation limit
        Broken,      // recognised, but the data cannot be decoded
    };

    Outcome outcome = Missing;
    QSize size;            // of a loaded image, and of a too large one
    QString format;        // "png", "jpeg", ... once recognised
    qint64 limitMiB = 0;   // the allocation limit, for TooLarge

    static ImageProbe of(const QString& path);
};
