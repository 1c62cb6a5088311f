#include "platform/wayland/waylanddisplay.h"

#include "platform/diagnostics.h"
#include "platform/wayland/outputsurface.h"
#include "platform/wayland/waylandconnection.h"
#include "platform/wayland/waylandkeyboard.h"

#include "ext-session-lock-v1-client.h"
#include "wlr-input-inhibitor-unstable-v1-client.h"

#include <QWidget>
#include <wayland-client.h>

#include <algorithm>

namespace {

const ext_session_lock_v1_listener lockListener = {
    &WaylandDisplay::onLocked,
    &WaylandDisplay::onFinished,
};

bool canHold(const WaylandConnection& connection)
{
    return connection.compositor() && connection.shm()
           && (connection.offersSessionLock() || connection.offersLayerShell());
}

} // namespace

bool WaylandDisplay::compositorCanHold()
{
    const std::unique_ptr<WaylandConnection> connection = WaylandConnection::open();
    return connection && canHold(*connection);
}

std::unique_ptr<DisplayPlatform> WaylandDisplay::create(QWidget* window)
{
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::open();
    if (!connection || !canHold(*connection))
        return nullptr;
    return std::unique_ptr<DisplayPlatform>(new WaylandDisplay(window, std::move(connection)));
}

WaylandDisplay::WaylandDisplay(QWidget* window, std::unique_ptr<WaylandConnection> connection)
    : m_window(window)
{
    adopt(std::move(connection));
}

WaylandDisplay::~WaylandDisplay()
{
    // The compositor drops the surfaces and the inhibitor with the
    // connection; a session lock stays, as it should when the locker ends.
    m_surfaces.clear();
    m_keyboard.reset();
}

void WaylandDisplay::adopt(std::unique_ptr<WaylandConnection> connection)
{
    m_connection = std::move(connection);
    if (m_connection->seat())
        m_keyboard = std::make_unique<WaylandKeyboard>(m_connection->seat(), m_window);
    m_connection->setOutputHooks(
        [this](wl_output* output) {
            if (m_held)
                coverOutput(output);
        },
        [this](wl_output* output) { uncoverOutput(output); });
    connect(m_connection.get(), &WaylandConnection::broken, this, [this] {
        // Not now: the connection's own call is still on the stack.
        QMetaObject::invokeMethod(this, &WaylandDisplay::dropConnection, Qt::QueuedConnection);
    });
    // The keymap and the seat's keyboard come in the next round.
    m_connection->roundtrip();
    m_connection->dispatch();
}

bool WaylandDisplay::connectAgain()
{
    if (m_connection && !m_connection->isBroken())
        return true;
    dropConnection();
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::open();
    if (!connection || !canHold(*connection))
        return false;
    adopt(std::move(connection));
    return true;
}

void WaylandDisplay::dropConnection()
{
    if (!m_connection || !m_connection->isBroken())
        return;
    // Requests on a failed connection go nowhere; the objects are freed.
    m_surfaces.clear();
    if (m_lock)
        ext_session_lock_v1_destroy(m_lock);
    m_lock = nullptr;
    m_locked = false;
    m_inhibitor.reset();
    m_keyboard.reset();
    m_connection.reset();
}

void WaylandDisplay::hold(const QRect& /*geometry*/)
{
    // Called again while shown (the toolkit's screen changed): the outputs
    // are covered already.
    if (m_held && m_connection && !m_connection->isBroken())
        return;
    if (!connectAgain())
        return;
    m_held = true;
    if (m_connection->offersSessionLock()) {
        m_lock = ext_session_lock_manager_v1_lock(m_connection->sessionLock());
        ext_session_lock_v1_add_listener(m_lock, &lockListener, this);
    } else {
        m_inhibitor = ownProxy(zwlr_input_inhibit_manager_v1_get_inhibitor(m_connection->inhibitManager()),
                               zwlr_input_inhibitor_v1_destroy);
    }
    for (wl_output* output : m_connection->outputs())
        coverOutput(output);
    m_connection->flush();
}

void WaylandDisplay::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (!m_connection)
        return;
    if (m_lock) {
        if (m_locked)
            ext_session_lock_v1_unlock_and_destroy(m_lock);
        else
            ext_session_lock_v1_destroy(m_lock);
        m_lock = nullptr;
        m_locked = false;
    }
    m_surfaces.clear();
    m_inhibitor.reset();
    m_connection->flush();
}

void WaylandDisplay::present(const QImage& windowImage, const QRegion& windowPart)
{
    // The window is the phone's size: its picture is the phone's screen.
    for (const auto& surface : m_surfaces)
        surface->present(windowImage, windowPart);
}

void WaylandDisplay::coverOutput(wl_output* output)
{
    std::unique_ptr<OutputSurface> surface = m_lock ? OutputSurface::forLock(*m_connection, m_lock, output)
                                                    : OutputSurface::onOverlay(*m_connection, output);
    // Once it has its size, the surface is given the whole picture.
    surface->setOnPictureWanted([this] { emit repaintNeeded(); });
    surface->setOnClosed([this, output] {
        // The compositor took the overlay away (its output is going): a new
        // one covers the output while it lasts.
        QMetaObject::invokeMethod(
            this,
            [this, output] {
                uncoverOutput(output);
                if (m_held && m_connection && m_connection->outputs().contains(output))
                    coverOutput(output);
            },
            Qt::QueuedConnection);
    });
    m_surfaces.push_back(std::move(surface));
    m_connection->flush();
}

void WaylandDisplay::uncoverOutput(wl_output* output)
{
    m_surfaces.erase(std::remove_if(m_surfaces.begin(), m_surfaces.end(),
                                    [output](const auto& surface) { return surface->output() == output; }),
                     m_surfaces.end());
}

void WaylandDisplay::onLocked(void* data, ext_session_lock_v1*)
{
    static_cast<WaylandDisplay*>(data)->m_locked = true;
}

void WaylandDisplay::onFinished(void* data, ext_session_lock_v1*)
{
    // The compositor will not lock (another locker holds the session), or
    // has ended the lock itself.
    auto* display = static_cast<WaylandDisplay*>(data);
    writeWarning("warning: the wayland compositor refused or ended the session lock: the lock screen is not "
                 "held until the next LCDOff\n");
    if (display->m_locked)
        ext_session_lock_v1_unlock_and_destroy(display->m_lock);
    else
        ext_session_lock_v1_destroy(display->m_lock);
    display->m_lock = nullptr;
    display->m_locked = false;
    display->m_held = false;
    display->m_surfaces.clear();
    display->m_connection->flush();
}
