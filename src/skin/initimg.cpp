#include "app/quelview.h"

#include "platform/diagnostics.h"
#include "skin/clockplacement.h"

#include <QFile>

#include <sys/stat.h>

namespace {
// Loads an image as the toolkit does, but never opens a FIFO, socket or
// device: opening a FIFO waits for a writer, so one in the skin would hang
// the lock screen at start-up, and a device may never end or have effects.
// Such a path is left out, like a file that is not an image.
void loadImage(QPixmap& pixmap, const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return;
    pixmap.load(path);
}
} // namespace

// Loads the skin's three images (format recognised from the contents) and
// places the clock. An image that cannot be loaded stays empty, 0 x 0.
void quelView::initImg()
{
    loadImage(bgPixmap, skinDir + settings.background);
    loadImage(clockPixmap, skinDir + settings.clockImage);
    loadImage(centerPixmap, skinDir + settings.clockCenter);
    writeDiagnostic("pix!\n");

    const int faceWidth = clockPixmap.width();
    const int faceHeight = clockPixmap.height();
    clockX = placeClockAxis(settings.clockLeft, "left", "right", ScreenWidth, faceWidth);
    clockY = placeClockAxis(settings.clockTop, "top", "bottom", ScreenHeight, faceHeight);
    centerX = clockX + faceWidth / 2;
    centerY = clockY + faceHeight / 2;

    writeDiagnostic("\npix over!\n");
}
