#include "app/quelview.h"

#include "platform/diagnostics.h"
#include "skin/clockplacement.h"

// Loads the skin's three images (format recognised from the contents) and
// places the clock. An image that cannot be loaded stays empty, 0 x 0.
void quelView::initImg()
{
    bgPixmap.load(skinDir + settings.background);
    clockPixmap.load(skinDir + settings.clockImage);
    centerPixmap.load(skinDir + settings.clockCenter);
    writeDiagnostic("pix!\n");

    const int faceWidth = clockPixmap.width();
    const int faceHeight = clockPixmap.height();
    clockX = placeClockAxis(settings.clockLeft, "left", "right", ScreenWidth, faceWidth);
    clockY = placeClockAxis(settings.clockTop, "top", "bottom", ScreenHeight, faceHeight);
    centerX = clockX + faceWidth / 2;
    centerY = clockY + faceHeight / 2;

    writeDiagnostic("\npix over!\n");
}
