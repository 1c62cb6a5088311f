#pragma once

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <QRect>

#include <cstdint>
#include <memory>

class QWidget;
class X11Overlay;
struct xcb_connection_t;

// Holds an X11 window over everything else while it is shown: the window is
// kept at the top of the stacking order (raised again whenever another
// top-level window is mapped or restacked) and holds the keyboard and the
// pointer, so that no other client receives a key or a click. A grab held by
// another client (an open menu) is retried without blocking the event loop;
// if it cannot be taken within GrabPatienceMs, one warning goes to standard
// error and the retries go on, slower, until it is taken or the window hides.
//
// The window is the lock: whoever unmaps, lowers, moves or resizes it, it is
// put back at once and the grabs are taken again; destroyed, windowLost()
// asks for a new one. Where the server has the Composite extension, a window
// in its overlay shows the frames too (X11Overlay), so that not even a window
// that raises itself many times a second shows through.
//
// The window must be an override-redirect one (Qt::X11BypassWindowManagerHint):
// a window manager then neither stacks, focuses nor closes it.
class X11Keyguard : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    static constexpr int GrabPatienceMs = 3000;
    static constexpr int RetryIntervalMs = 100;
    static constexpr int SlowRetryIntervalMs = 1000;

    // True on Qt's xcb platform, the only one this class works on.
    static bool isAvailable();

    explicit X11Keyguard(QWidget* window);
    ~X11Keyguard() override;

    // Right after the window has been shown at `geometry`: stay on top and
    // take the keyboard and the pointer. Calling it again while engaged only
    // raises (and follows a new window or geometry).
    void engage(const QRect& geometry);
    // Before the window hides: the grabs move to the root window, and the
    // overlay goes. The pointer then leaves the lock screen while it is still
    // held, so the crossing is reported to no one but this client, and a
    // window manager whose focus follows the pointer does not give the
    // keyboard to the window the lock screen uncovers under it.
    void beforeHide();
    // After the window has hidden: let go of both grabs and the overlay, stop
    // raising, and hand the keyboard focus back to the window that had it.
    void release();

    // Whether to show the frames in the Composite overlay too: only for a
    // window whose frames are put there (X11FramePresenter); off by default.
    void setOverlayWanted(bool wanted) { m_overlayWanted = wanted; }
    // The window the frames are also to be put into while engaged; 0 when none.
    uint32_t overlayWindow() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // The lock window was destroyed by another client while engaged: the
    // widget is to make a new one and engage again.
    void windowLost();
    // What the overlay showed is gone: the whole frame is to be put again.
    void overlayExposed();

private:
    bool handleOwnWindow(const void* xcbEvent);
    void putBack();
    bool isTopmost();
    void raise();
    void tryGrabs();
    // Takes (or moves, when this client holds it) the grab to window; the
    // server's answer.
    uint8_t grabKeyboard(uint32_t window);
    uint8_t grabPointer(uint32_t window);
    void watchRoot(bool watch);
    void rememberFocus();
    void restoreFocus();

    QWidget* m_window;
    xcb_connection_t* m_connection = nullptr;
    uint32_t m_windowId = 0;
    uint32_t m_root = 0;
    uint32_t m_focusBefore = 0;
    bool m_haveFocusBefore = false;
    bool m_engaged = false;
    bool m_keyboardHeld = false;
    bool m_pointerHeld = false;
    bool m_watchingRoot = false;
    bool m_warned = false;
    bool m_overlayWanted = false;
    QRect m_geometry;
    std::unique_ptr<X11Overlay> m_overlay;
    QTimer m_retry;
    QElapsedTimer m_sinceEngaged;
    // Another client that re-raises itself on our restacking would make the
    // two of us raise each other for ever; the raises are capped per second.
    QElapsedTimer m_raiseWindow;
    int m_raisesInWindow = 0;
};
