#pragma once

#include "platform/displayplatform.h"
#include "platform/wayland/waylandproxy.h"

#include <QImage>
#include <QPointer>

#include <memory>
#include <vector>

class OutputSurface;
class WaylandConnection;
class WaylandKeyboard;
struct ext_session_lock_v1;
struct wl_output;
struct zwlr_input_inhibitor_v1;

// The Wayland display platform: lockapp's own connection to the compositor,
// the toolkit running off the screen underneath. Shown, the lock screen
// covers every output and takes every key through the compositor's session
// lock, or else through a surface on the overlay layer of each output and
// the input inhibitor; hidden, it has no surface and holds nothing. A fault
// on the connection leaves the screen unheld until the next hold(), which
// connects again.
class WaylandDisplay : public DisplayPlatform
{
    Q_OBJECT
public:
    // Whether the compositor at $WAYLAND_DISPLAY offers a way to hold the
    // screen and the keys (asked before the application object exists).
    static bool compositorCanHold();
    // Null when no compositor answers or it offers neither way.
    static std::unique_ptr<DisplayPlatform> create(QWidget* window);
    ~WaylandDisplay() override;

    bool presentsFrames() const override { return true; }
    bool fitsFramesItself() const override { return true; }
    void present(const QImage& windowImage, const QRegion& windowPart) override;
    void hold(const QRect& geometry) override;
    void release() override;

    static void onLocked(void* data, ext_session_lock_v1*);
    static void onFinished(void* data, ext_session_lock_v1*);

private:
    WaylandDisplay(QWidget* window, std::unique_ptr<WaylandConnection> connection);
    bool connectAgain();
    void adopt(std::unique_ptr<WaylandConnection> connection);
    void coverOutput(wl_output* output);
    void uncoverOutput(wl_output* output);
    void dropConnection();

    QPointer<QWidget> m_window;
    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<WaylandKeyboard> m_keyboard;
    std::vector<std::unique_ptr<OutputSurface>> m_surfaces;
    ext_session_lock_v1* m_lock = nullptr;
    bool m_locked = false;
    WaylandProxy<zwlr_input_inhibitor_v1> m_inhibitor;
    bool m_held = false;
};
