#pragma once

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>

class QWidget;
struct xcb_connection_t;

// Holds an X11 window over everything else while it is shown: the window is
// kept at the top of the stacking order (raised again whenever another
// top-level window is mapped or restacked) and holds the keyboard and the
// pointer, so that no other client receives a key or a click. A grab held by
// another client (an open menu) is retried without blocking the event loop;
// if it cannot be taken within GrabPatienceMs, one warning goes to standard
// error and the retries go on, slower, until it is taken or the window hides.
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

    // Right after the window has been shown: stay on top and take the
    // keyboard and the pointer. Calling it again while engaged only raises.
    void engage();
    // When the window hides: let go of both grabs, stop raising, and hand
    // the keyboard focus back if the window still has it.
    void release();

    bool isEngaged() const { return m_engaged; }
    bool holdsKeyboard() const { return m_keyboardHeld; }
    bool holdsPointer() const { return m_pointerHeld; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void raise();
    void tryGrabs();
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
    QTimer m_retry;
    QElapsedTimer m_sinceEngaged;
    // Another client that re-raises itself on our restacking would make the
    // two of us raise each other for ever; the raises are capped per second.
    QElapsedTimer m_raiseWindow;
    int m_raisesInWindow = 0;
};
