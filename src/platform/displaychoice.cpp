// The one place where the display platform is chosen.
#include "platform/displayplatform.h"

#include "platform/diagnostics.h"
#include "platform/offscreendisplay.h"
#include "platform/wayland/waylanddisplay.h"
#include "platform/x11/x11display.h"

#include <QGuiApplication>

namespace {

// Set before the application object when lockapp holds a Wayland session
// through its own connection, the toolkit running off the screen.
bool waylandWanted = false;

} // namespace

void DisplayPlatform::chooseBeforeApplication()
{
    // QT_QPA_PLATFORM, when set, is the user's choice and stays (empty, it
    // is not set, for the toolkit too).
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    // A compositor that offers no way to hold the keys gets the ordinary
    // window (and the warning below).
    if (!WaylandDisplay::compositorCanHold())
        return;
    waylandWanted = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

std::unique_ptr<DisplayPlatform> DisplayPlatform::create(QWidget* window)
{
    if (waylandWanted) {
        if (auto wayland = WaylandDisplay::create(window))
            return wayland;
    }
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
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return std::make_unique<OffscreenDisplay>();
    return std::make_unique<DisplayPlatform>();
}
