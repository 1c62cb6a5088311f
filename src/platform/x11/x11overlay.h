#pragma once

#include <QRect>

#include <cstdint>

struct xcb_connection_t;

// A window inside the Composite extension's overlay window, which the X
// server keeps above every other window, override-redirect ones included:
// no client that raises itself, at any rate, comes between it and the
// screen. It shows what the lock window shows (the frame presenter puts each
// frame into both); the lock window stays the top-level that holds the grabs
// and that other clients find. A compositing manager draws into the overlay
// window itself: a child of it is above what the compositor draws.
//
// The overlay is held only while this object lives; the server unmaps it when
// the last client holding it lets go, or its connection closes (a crash).
class X11Overlay
{
public:
    // Whether the server has the Composite extension, version 0.3 or later.
    static bool isAvailable(xcb_connection_t* connection);

    X11Overlay(xcb_connection_t* connection, uint32_t root, const QRect& geometry);
    ~X11Overlay();

    X11Overlay(const X11Overlay&) = delete;
    X11Overlay& operator=(const X11Overlay&) = delete;

    // The window frames go into; 0 when the overlay could not be had.
    uint32_t window() const { return m_window; }
    // The overlay window itself, a child of the root above every other.
    uint32_t overlay() const { return m_overlay; }
    void setGeometry(const QRect& geometry);

    enum class Event { None, Exposed };
    // Takes back the window when another client unmaps or moves it; says
    // when its contents are lost and must be put there again (an
    // xcb_generic_event_t, as the toolkit hands it on).
    Event handle(const void* xcbEvent);

private:
    void createWindow();

    xcb_connection_t* m_connection;
    uint32_t m_root;
    uint32_t m_overlay = 0;
    uint32_t m_window = 0;
    QRect m_geometry;
};
