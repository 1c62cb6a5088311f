#include "platform/x11/x11overlay.h"

#include "platform/x11reply.h"

#include <xcb/composite.h>
#include <xcb/xcb.h>

bool X11Overlay::isAvailable(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* composite = xcb_get_extension_data(connection, &xcb_composite_id);
    if (!composite || !composite->present)
        return false;
    // The overlay window came with version 0.3.
    const X11Reply<xcb_composite_query_version_reply_t> version(
            xcb_composite_query_version_reply(connection, xcb_composite_query_version(connection, 0, 4), nullptr));
    return version && (version->major_version > 0 || version->minor_version >= 3);
}

X11Overlay::X11Overlay(xcb_connection_t* connection, uint32_t root, const QRect& geometry)
    : m_connection(connection)
    , m_root(root)
    , m_geometry(geometry)
{
    const X11Reply<xcb_composite_get_overlay_window_reply_t> overlay(xcb_composite_get_overlay_window_reply(
            connection, xcb_composite_get_overlay_window(connection, root), nullptr));
    if (!overlay)
        return;
    m_overlay = overlay->overlay_win;
    // Another client unmapping the overlay itself is undone too.
    const uint32_t overlayEvents = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, m_overlay, XCB_CW_EVENT_MASK, &overlayEvents);
    createWindow();
}

void X11Overlay::createWindow()
{
    xcb_connection_t* connection = m_connection;
    const QRect& geometry = m_geometry;
    m_window = xcb_generate_id(connection);
    // Black until the first frame is in: never what lies beneath.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t values[] = { screen->black_pixel,
                                XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY };
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, m_window, m_overlay, int16_t(geometry.x()),
                      int16_t(geometry.y()), uint16_t(geometry.width()), uint16_t(geometry.height()), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                      values);
    xcb_map_window(connection, m_window);
    xcb_flush(connection);
}

X11Overlay::~X11Overlay()
{
    if (!m_overlay)
        return;
    xcb_destroy_window(m_connection, m_window);
    xcb_composite_release_overlay_window(m_connection, m_root);
    xcb_flush(m_connection);
}

void X11Overlay::setGeometry(const QRect& geometry)
{
    m_geometry = geometry;
    if (!m_window)
        return;
    const uint32_t values[] = { uint32_t(geometry.x()), uint32_t(geometry.y()), uint32_t(geometry.width()),
                                uint32_t(geometry.height()) };
    xcb_configure_window(m_connection, m_window,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                 | XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    xcb_flush(m_connection);
}

X11Overlay::Event X11Overlay::handle(const void* xcbEvent)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(xcbEvent);
    if (!m_window)
        return Event::None;
    switch (event->response_type & 0x7f) {
    case XCB_EXPOSE: {
        const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
        if (expose->window == m_window && expose->count == 0)
            return Event::Exposed;
        break;
    }
    case XCB_UNMAP_NOTIFY: {
        const auto* unmap = reinterpret_cast<const xcb_unmap_notify_event_t*>(event);
        if (unmap->window == m_window || unmap->window == m_overlay) {
            xcb_map_window(m_connection, unmap->window);
            xcb_flush(m_connection);
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* destroy = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (destroy->window == m_window) {
            createWindow();
            return Event::Exposed;
        }
        break;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        if (configure->window == m_window
            && QRect(configure->x, configure->y, configure->width, configure->height) != m_geometry)
            setGeometry(m_geometry);
        break;
    }
    default:
        break;
    }
    return Event::None;
}
