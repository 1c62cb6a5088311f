#include "app/quelview.h"

#include "platform/diagnostics.h"
#include "skin/clockplacement.h"
#include "skin/imageprobe.h"

namespace {
// An image that cannot be loaded stays empty, 0 x 0.
void loadImage(QPixmap& pixmap, const QString& path, QSize cutTo = QSize())
{
    const ImageProbe image = ImageProbe::of(path, cutTo);
    if (image.outcome == ImageProbe::Loaded)
        pixmap = QPixmap::fromImage(image.image);
}
} // namespace

// Loads the skin's three images (format recognised from the contents) and
// places the clock. A background larger than the screen is cut to the screen:
// each frame is a copy of it drawn at the window's corner, and what lies
// beyond the screen never shows but would cost memory and time every frame.
void quelView::initImg()
{
    loadImage(bgPixmap, skinDir + settings.background, QSize(ScreenWidth, ScreenHeight));
    loadImage(clockPixmap, skinDir + settings.clockImage);
    loadImage(centerPixmap, skinDir + settings.clockCenter);
    writeDiagnostic("pix!\n");

    const ClockPlacement placement = ClockPlacement::of(settings.clockLeft, settings.clockTop, clockPixmap.size());
    clockX = placement.clockX;
    clockY = placement.clockY;
    centerX = placement.centerX;
    centerY = placement.centerY;

    writeDiagnostic("\npix over!\n");
}
