#pragma once

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

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
        TooLarge,      // wider or higher than MaxSide, or beyond the toolkit's
                       // allocation limit for a format decoded whole
        Broken,        // recognised, but the data cannot be decoded
        Damaged,       // decoded, but parts of the data are missing or
                       // corrupt (asked for with WholeData): image holds what
                       // the lock screen draws
    };

    // How much of the data is checked. Drawn: what the lock screen needs.
    // WholeData: also data the toolkit's reader passes over with a warning,
    // as the checker wants.
    enum Scan { Drawn, WholeData };

    // Which part of an image can show, in the image's coordinates, given its
    // size as stored.
    using VisiblePart = std::function<QRect(QSize stored)>;

    // No image file a skin needs comes near this; a bigger one is not read.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
    // Images are decoded only where they show, so the size on screen bounds
    // the memory, not the size stored; this bounds the decoding time.
    static constexpr int MaxSide = 16384;

    Outcome outcome = Missing;
    QImage image;          // the loaded image, cut as asked; null otherwise,
                           // and also when no part of it can show
    QSize size;            // of the image as stored, also of a too large one
    QPoint offset;         // where image's top-left corner lies in the stored image
    bool wasCut = false;   // only part of the image was kept
    QString format;        // "png", "jpeg", ... once recognised
    qint64 limitMiB = 0;   // the allocation limit, for TooLarge by it; 0 for
                           // TooLarge by MaxSide
    QString problem;       // the decoder's words, for Broken and Damaged
    int error = 0;         // the system's reason (errno), for Unreadable

    // Loads path, decoding only the part of it `visible` names (all of it
    // when no function is given).
    static ImageProbe of(const QString& path, const VisiblePart& visible = {}, Scan scan = Drawn);
};
