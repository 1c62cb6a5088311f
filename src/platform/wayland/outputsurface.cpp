#include "platform/wayland/outputsurface.h"

#include "platform/framefit.h"
#include "platform/phonescreen.h"
#include "platform/wayland/shmbufferpair.h"
#include "platform/wayland/waylandconnection.h"

#include "ext-session-lock-v1-client.h"
#include "viewporter-client.h"
#include "platform/wayland/wlrlayershell.h"

#include <QPainter>
#include <wayland-client.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const zwlr_layer_surface_v1_listener layerListener = {
    &OutputSurface::onLayerConfigure,
    &OutputSurface::onLayerClosed,
};

const ext_session_lock_surface_v1_listener lockListener = {
    &OutputSurface::onLockConfigure,
};

const QSize phoneSize(PhoneScreen::Width, PhoneScreen::Height);

} // namespace

OutputSurface::OutputSurface(WaylandConnection& connection, wl_output* output)
    : m_connection(connection)
    , m_output(output)
    , m_surface(ownProxy(wl_compositor_create_surface(connection.compositor()), wl_surface_destroy))
{
    if (connection.viewporter())
        m_viewport = ownProxy(wp_viewporter_get_viewport(connection.viewporter(), m_surface.get()),
                              wp_viewport_destroy);
}

std::unique_ptr<OutputSurface> OutputSurface::onOverlay(WaylandConnection& connection, wl_output* output)
{
    std::unique_ptr<OutputSurface> surface(new OutputSurface(connection, output));
    surface->m_layerSurface = ownProxy(
        zwlr_layer_shell_v1_get_layer_surface(connection.layerShell(), surface->m_surface.get(), output,
                                              ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "lockscreen"),
        zwlr_layer_surface_v1_destroy);
    zwlr_layer_surface_v1* layerSurface = surface->m_layerSurface.get();
    zwlr_layer_surface_v1_add_listener(layerSurface, &layerListener, surface.get());
    zwlr_layer_surface_v1_set_size(layerSurface, 0, 0);
    zwlr_layer_surface_v1_set_anchor(layerSurface,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM
                                         | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layerSurface, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layerSurface,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    // The first commit, without a buffer, asks for the configure.
    wl_surface_commit(surface->m_surface.get());
    return surface;
}

std::unique_ptr<OutputSurface> OutputSurface::forLock(WaylandConnection& connection, ext_session_lock_v1* lock,
                                                      wl_output* output)
{
    std::unique_ptr<OutputSurface> surface(new OutputSurface(connection, output));
    // A lock surface must not be committed before its first configure.
    surface->m_lockSurface = ownProxy(ext_session_lock_v1_get_lock_surface(lock, surface->m_surface.get(), output),
                                      ext_session_lock_surface_v1_destroy);
    ext_session_lock_surface_v1_add_listener(surface->m_lockSurface.get(), &lockListener, surface.get());
    return surface;
}

OutputSurface::~OutputSurface() = default;

void OutputSurface::onLayerConfigure(void* data, zwlr_layer_surface_v1* layerSurface, uint32_t serial,
                                     uint32_t width, uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(layerSurface, serial);
    static_cast<OutputSurface*>(data)->configure(QSize(int(width), int(height)));
}

void OutputSurface::onLayerClosed(void* data, zwlr_layer_surface_v1*)
{
    auto* surface = static_cast<OutputSurface*>(data);
    if (surface->m_onClosed)
        surface->m_onClosed();
}

void OutputSurface::onLockConfigure(void* data, ext_session_lock_surface_v1* lockSurface, uint32_t serial,
                                    uint32_t width, uint32_t height)
{
    ext_session_lock_surface_v1_ack_configure(lockSurface, serial);
    static_cast<OutputSurface*>(data)->configure(QSize(int(width), int(height)));
}

QSize OutputSurface::bufferSize() const
{
    if (!m_viewport || m_size.isEmpty())
        return m_size;
    // The phone's pixels as they are, with the black around in the same
    // pixels; the compositor scales the whole to the output.
    const qreal scale = std::min(qreal(m_size.width()) / phoneSize.width(), qreal(m_size.height()) / phoneSize.height());
    if (scale <= 1)
        return m_size;
    return QSize(std::max(1, int(std::lround(m_size.width() / scale))),
                 std::max(1, int(std::lround(m_size.height() / scale))));
}

void OutputSurface::configure(QSize size)
{
    // An output of a size not told (0 x 0) is covered at the phone's size.
    m_size = size.isEmpty() ? phoneSize : size;
    const QSize buffers = bufferSize();
    if (!m_buffers || m_buffers->size() != buffers) {
        m_buffers = std::make_unique<ShmBufferPair>(m_connection.shm(), buffers);
        m_buffers->setOnFree([this] {
            if (!m_waiting.isNull() && paintAndCommit(m_waiting))
                m_waiting = QImage();
        });
    }
    // Scaled by the compositor, or not at all.
    if (m_viewport) {
        if (buffers == m_size)
            wp_viewport_set_destination(m_viewport.get(), -1, -1);
        else
            wp_viewport_set_destination(m_viewport.get(), m_size.width(), m_size.height());
    }
    // Every configure is answered with a whole picture.
    m_stale.fill(QRegion(QRect(QPoint(0, 0), buffers)));
    m_damage = QRegion(QRect(QPoint(0, 0), buffers));
    if (!m_waiting.isNull()) {
        if (paintAndCommit(m_waiting))
            m_waiting = QImage();
    } else if (m_onPictureWanted) {
        m_onPictureWanted();
    }
}

void OutputSurface::present(const QImage& phone, const QRegion& phonePart)
{
    // Before the configure there is nothing to paint into: the configure
    // asks for the whole picture.
    if (!isConfigured() || phone.isNull())
        return;
    const QRegion part = FrameFit(bufferSize(), phoneSize).toWindow(phonePart);
    for (QRegion& stale : m_stale)
        stale += part;
    m_damage += part;
    if (paintAndCommit(phone))
        m_waiting = QImage();
    else
        m_waiting = phone.copy();
}

bool OutputSurface::paintAndCommit(const QImage& phone)
{
    if (!m_buffers || !m_buffers->isValid())
        return true;
    const int index = m_buffers->freeBuffer();
    if (index < 0)
        return false;
    QRegion& stale = m_stale[size_t(index)];
    if (stale.isEmpty())
        return true;
    {
        QPainter painter(&m_buffers->image(index));
        FrameFit(m_buffers->size(), phoneSize).paint(painter, phone, stale, Qt::black);
    }
    wl_surface_attach(m_surface.get(), m_buffers->hand(index), 0, 0);
    if (wl_surface_get_version(m_surface.get()) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
        for (const QRect& rect : m_damage)
            wl_surface_damage_buffer(m_surface.get(), rect.x(), rect.y(), rect.width(), rect.height());
    } else {
        wl_surface_damage(m_surface.get(), 0, 0, INT32_MAX, INT32_MAX);
    }
    wl_surface_commit(m_surface.get());
    stale = QRegion();
    m_damage = QRegion();
    m_connection.flush();
    return true;
}
