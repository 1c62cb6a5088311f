// The one place where the display platform is chosen.
#include "platform/displayplatform.h"

#include "platform/diagnostics.h"
#include "platform/x11/x11display.h"

#include <QGuiApplication>

void DisplayPlatform::chooseBeforeApplication()
{
}

std::unique_ptr<DisplayPlatform> DisplayPlatform::create(QWidget* window)
{
    if (auto x11 = X11Display::create(window))
        return x11;
    // Wayland lets no client hold the keyboard or stay above the others
    // through the toolkit.
    static bool warned = false;
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")) && !warned) {
        warned = true;
        writeWarning("warning: the wayland platform gives no way to hold the keyboard: while the lock screen is "
                     "shown, keys may still reach other applications (start lockapp with QT_QPA_PLATFORM=xcb "
                     "to hold them)\n");
    }
    // Offscreen, nobody sees a screen to cover: the window keeps the phone's
    // size, and frames are put into it as they are.
    return std::make_unique<DisplayPlatform>(QGuiApplication::platformName() == QLatin1String("offscreen"));
}
