#include "platform/x11/x11keyguard.h"

#include "platform/diagnostics.h"
#include "platform/x11/x11connection.h"
#include "platform/x11/x11overlay.h"
#include "platform/x11reply.h"

#include <QCoreApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <vector>

namespace {

constexpr int MaxRaisesPerSecond = 50;

const char* grabFailure(uint8_t status)
{
    switch (status) {
    case XCB_GRAB_STATUS_ALREADY_GRABBED:
        return "another client holds it";
    case XCB_GRAB_STATUS_FROZEN:
        return "another client froze it";
    case XCB_GRAB_STATUS_NOT_VIEWABLE:
        return "the window is not on the screen";
    default:
        return "the X server refused";
    }
}

} // namespace

bool X11Keyguard::isAvailable()
{
    return x11Connection() != nullptr;
}

X11Keyguard::X11Keyguard(QWidget* window)
    : QObject(window)
    , m_window(window)
    , m_connection(x11Connection())
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &X11Keyguard::tryGrabs);
    if (m_connection)
        QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Keyguard::~X11Keyguard()
{
    release();
    m_overlay.reset();
    if (m_connection && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void X11Keyguard::engage(const QRect& geometry)
{
    if (!m_connection)
        return;
    m_windowId = uint32_t(m_window->winId());
    m_geometry = geometry;
    if (!m_root) {
        const X11Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_windowId), nullptr));
        if (!tree)
            return;
        m_root = tree->root;
    }
    if (!m_engaged) {
        rememberFocus();
        m_engaged = true;
        m_warned = false;
        m_sinceEngaged.start();
        watchRoot(true);
        if (m_overlayWanted && X11Overlay::isAvailable(m_connection))
            m_overlay = std::make_unique<X11Overlay>(m_connection, m_root, geometry);
    } else if (m_overlay) {
        m_overlay->setGeometry(geometry);
    }
    raise();
    tryGrabs();
}

void X11Keyguard::release()
{
    if (!m_engaged)
        return;
    m_engaged = false;
    m_retry.stop();
    watchRoot(false);
    m_overlay.reset();
    if (m_keyboardHeld)
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
    if (m_pointerHeld)
        xcb_ungrab_pointer(m_connection, XCB_CURRENT_TIME);
    m_keyboardHeld = false;
    m_pointerHeld = false;
    restoreFocus();
    xcb_flush(m_connection);
}

void X11Keyguard::beforeHide()
{
    if (!m_engaged)
        return;
    // A grab by this client again, on another window, moves it there.
    if (m_pointerHeld)
        m_pointerHeld = grabPointer(m_root) == XCB_GRAB_STATUS_SUCCESS;
    if (m_keyboardHeld)
        m_keyboardHeld = grabKeyboard(m_root) == XCB_GRAB_STATUS_SUCCESS;
    m_overlay.reset();
}

uint32_t X11Keyguard::overlayWindow() const
{
    return m_overlay ? m_overlay->window() : 0;
}

void X11Keyguard::raise()
{
    if (!m_raiseWindow.isValid() || m_raiseWindow.elapsed() >= 1000) {
        m_raiseWindow.start();
        m_raisesInWindow = 0;
    }
    if (++m_raisesInWindow > MaxRaisesPerSecond) {
        // Raise once more when the second is over, whatever happens until then.
        if (m_raisesInWindow == MaxRaisesPerSecond + 1)
            QTimer::singleShot(1000 - int(m_raiseWindow.elapsed()), this, [this] {
                if (m_engaged)
                    raise();
            });
        return;
    }
    if (!m_windowId)
        return;
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(m_connection, m_windowId, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(m_connection);
}

uint8_t X11Keyguard::grabKeyboard(uint32_t window)
{
    const X11Reply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(
            m_connection,
            xcb_grab_keyboard(m_connection, 0, window, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr));
    return reply ? reply->status : uint8_t(0xff);
}

uint8_t X11Keyguard::grabPointer(uint32_t window)
{
    const uint16_t mask = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE;
    const X11Reply<xcb_grab_pointer_reply_t> reply(xcb_grab_pointer_reply(
            m_connection,
            xcb_grab_pointer(m_connection, 0, window, mask, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE,
                             XCB_NONE, XCB_CURRENT_TIME),
            nullptr));
    return reply ? reply->status : uint8_t(0xff);
}

void X11Keyguard::tryGrabs()
{
    if (!m_engaged || !m_windowId)
        return;
    uint8_t keyboardStatus = XCB_GRAB_STATUS_SUCCESS;
    uint8_t pointerStatus = XCB_GRAB_STATUS_SUCCESS;
    if (!m_keyboardHeld) {
        // Every key goes to the lock window, whichever window has the focus.
        keyboardStatus = grabKeyboard(m_windowId);
        m_keyboardHeld = keyboardStatus == XCB_GRAB_STATUS_SUCCESS;
    }
    if (!m_pointerHeld) {
        // Clicks go nowhere else either; the lock window itself ignores them.
        pointerStatus = grabPointer(m_windowId);
        m_pointerHeld = pointerStatus == XCB_GRAB_STATUS_SUCCESS;
    }
    if (m_keyboardHeld && m_pointerHeld)
        return;

    const bool patienceOver = m_sinceEngaged.elapsed() >= GrabPatienceMs;
    if (patienceOver && !m_warned) {
        m_warned = true;
        QByteArray line = "warning: the lock screen could not take";
        if (!m_keyboardHeld)
            line += QByteArray(" the keyboard (") + grabFailure(keyboardStatus) + ")";
        if (!m_keyboardHeld && !m_pointerHeld)
            line += " and";
        if (!m_pointerHeld)
            line += QByteArray(" the pointer (") + grabFailure(pointerStatus) + ")";
        line += " within " + QByteArray::number(GrabPatienceMs / 1000)
                + " s; other applications may receive input while it is shown\n";
        writeWarning(line);
    }
    m_retry.start(patienceOver ? SlowRetryIntervalMs : RetryIntervalMs);
}

void X11Keyguard::watchRoot(bool watch)
{
    if (!m_root || watch == m_watchingRoot)
        return;
    // Event masks are kept per client: this adds to what the toolkit itself
    // selected on the root window, and takes away only what was added here.
    const X11Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, m_root), nullptr));
    if (!attributes)
        return;
    const uint32_t current = attributes->your_event_mask;
    if (watch && (current & XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY))
        return; // selected already by someone else in this process: leave it be
    const uint32_t mask = watch ? (current | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY)
                                : (current & ~uint32_t(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY));
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    m_watchingRoot = watch;
}

void X11Keyguard::rememberFocus()
{
    m_haveFocusBefore = false;
    const X11Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    if (focus && focus->focus != m_windowId) {
        m_focusBefore = focus->focus;
        m_haveFocusBefore = true;
    }
}

void X11Keyguard::restoreFocus()
{
    if (!m_haveFocusBefore)
        return;
    const X11Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    // Ours, fallen back from ours to the root, or still the window that had
    // it: the lock screen still owns the choice. Anything else was someone
    // else's choice (a new dialog) while the lock screen was up, and stands.
    const bool ours = focus
            && (focus->focus == m_windowId || focus->focus == m_root || focus->focus == XCB_NONE
                || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == m_focusBefore);
    if (!ours)
        return;
    // The window that had it may be gone or hidden by now; the server then
    // refuses, and the focus stays where it fell.
    const xcb_void_cookie_t cookie = xcb_set_input_focus_checked(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT,
                                                                 m_focusBefore, XCB_CURRENT_TIME);
    const X11Reply<xcb_generic_error_t> refused(xcb_request_check(m_connection, cookie));
}

bool X11Keyguard::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/)
{
    if (!m_engaged || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (m_overlay && m_overlay->handle(event) == X11Overlay::Event::Exposed)
        emit overlayExposed();
    if (handleOwnWindow(event))
        return true;
    switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (map->event == m_root && map->window != m_windowId)
            raise();
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        // Some other top-level window moved in the stacking order or on the
        // screen; it may now be above the lock window.
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (configure->event == m_root && configure->window != m_windowId)
            raise();
        break;
    }
    case XCB_CIRCULATE_NOTIFY: {
        const auto* circulate = reinterpret_cast<const xcb_circulate_notify_event_t*>(event);
        if (circulate->event == m_root && circulate->window != m_windowId)
            raise();
        break;
    }
    default:
        break;
    }
    return false;
}

bool X11Keyguard::handleOwnWindow(const void* xcbEvent)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(xcbEvent);
    switch (event->response_type & 0x7f) {
    case XCB_UNMAP_NOTIFY: {
        // Unmapped by another client: the server has dropped both grabs with it.
        const auto* unmap = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
        if (unmap->window == m_windowId) {
            m_keyboardHeld = m_pointerHeld = false;
            xcb_map_window(m_connection, m_windowId);
            raise();
        }
        break;
    }
    case XCB_MAP_NOTIFY: {
        const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
        if (map->window == m_windowId && !(m_keyboardHeld && m_pointerHeld)) {
            m_retry.stop();
            tryGrabs();
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* destroy = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (destroy->window == m_windowId) {
            m_keyboardHeld = m_pointerHeld = false;
            m_windowId = 0;
            // Made again from ordinary code, once this event is done with.
            QMetaObject::invokeMethod(this, &X11Keyguard::windowLost, Qt::QueuedConnection);
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (configure->window == m_windowId && configure->event == m_windowId)
            putBack();
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        // A close request through the window manager's protocol (a pager,
        // wmctrl -c) is refused in silence, like WM_DELETE_WINDOW.
        const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
        static const xcb_atom_t closeWindow = [this] {
            const char name[] = "_NET_CLOSE_WINDOW";
            const X11Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
                    m_connection, xcb_intern_atom(m_connection, 0, sizeof name - 1, name), nullptr));
            return atom ? atom->atom : xcb_atom_t(XCB_NONE);
        }();
        if (client->window == m_windowId && closeWindow != XCB_NONE && client->type == closeWindow)
            return true;
        break;
    }
    default:
        break;
    }
    return false;
}

void X11Keyguard::putBack()
{
    const X11Reply<xcb_get_geometry_reply_t> now(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_windowId), nullptr));
    if (now && QRect(now->x, now->y, now->width, now->height) != m_geometry) {
        const uint32_t values[] = { uint32_t(m_geometry.x()), uint32_t(m_geometry.y()),
                                    uint32_t(m_geometry.width()), uint32_t(m_geometry.height()) };
        xcb_configure_window(m_connection, m_windowId,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                     | XCB_CONFIG_WINDOW_HEIGHT,
                             values);
    }
    if (!isTopmost())
        raise();
    xcb_flush(m_connection);
}

bool X11Keyguard::isTopmost()
{
    const X11Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree)
        return false;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // Bottom to top: only unmapped windows may lie above the lock window.
    std::vector<xcb_get_window_attributes_cookie_t> above;
    int i = count - 1;
    for (; i >= 0 && children[i] != m_windowId; --i) {
        if (!m_overlay || children[i] != m_overlay->overlay())
            above.push_back(xcb_get_window_attributes(m_connection, children[i]));
    }
    bool topmost = i >= 0;
    for (const auto& cookie : above) {
        const X11Reply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(m_connection, cookie, nullptr));
        if (attributes && attributes->map_state != XCB_MAP_STATE_UNMAPPED)
            topmost = false;
    }
    return topmost;
}
