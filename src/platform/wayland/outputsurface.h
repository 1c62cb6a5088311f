#pragma once

#include "platform/wayland/waylandproxy.h"

#include <QImage>
#include <QRegion>
#include <QSize>

#include <array>
#include <functional>
#include <memory>

class ShmBufferPair;
class WaylandConnection;
struct ext_session_lock_surface_v1;
struct ext_session_lock_v1;
struct wl_output;
struct wl_surface;
struct wp_viewport;
struct zwlr_layer_surface_v1;

// The lock screen on one output: a surface that covers the output, either
// on the overlay layer of the layer shell or as the session lock's surface.
// It shows the phone's picture scaled to fit and centred, black around:
// through the compositor's viewporter where it offers one (the buffers then
// keep about the phone's own pixels), else scaled here to the output's size.
class OutputSurface
{
public:
    // Over everything on `output`, taking every key while it is mapped.
    static std::unique_ptr<OutputSurface> onOverlay(WaylandConnection& connection, wl_output* output);
    // The session lock's surface for `output`.
    static std::unique_ptr<OutputSurface> forLock(WaylandConnection& connection, ext_session_lock_v1* lock,
                                                  wl_output* output);
    ~OutputSurface();

    wl_output* output() const { return m_output; }
    bool isConfigured() const { return !m_size.isEmpty(); }
    // The size of the buffers (the output's, or less under a viewporter).
    QSize bufferSize() const;

    // Shows the part `phonePart` of the phone's picture `phone`, which has
    // changed since the last one. The picture is not kept (a reference
    // would cost its owner a copy when it paints the next one) unless the
    // compositor holds both buffers.
    void present(const QImage& phone, const QRegion& phonePart);

    // The compositor took the surface away (the layer shell's "closed").
    void setOnClosed(std::function<void()> onClosed) { m_onClosed = std::move(onClosed); }
    // The surface has been given its size and wants all of the picture.
    void setOnPictureWanted(std::function<void()> onPictureWanted) { m_onPictureWanted = std::move(onPictureWanted); }

    static void onLayerConfigure(void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t width,
                                 uint32_t height);
    static void onLayerClosed(void* data, zwlr_layer_surface_v1*);
    static void onLockConfigure(void* data, ext_session_lock_surface_v1*, uint32_t serial, uint32_t width,
                                uint32_t height);

private:
    OutputSurface(WaylandConnection& connection, wl_output* output);
    void configure(QSize size);
    // Paints what the free buffer lacks from `phone` and commits it; false
    // when the compositor holds both buffers.
    bool paintAndCommit(const QImage& phone);

    WaylandConnection& m_connection;
    wl_output* m_output;
    // Destroyed in the reverse of this order: the surface's role and its
    // viewport first, then its buffers, the surface itself last.
    WaylandProxy<wl_surface> m_surface;
    std::unique_ptr<ShmBufferPair> m_buffers;
    WaylandProxy<wp_viewport> m_viewport;
    WaylandProxy<ext_session_lock_surface_v1> m_lockSurface;
    WaylandProxy<zwlr_layer_surface_v1> m_layerSurface;
    QSize m_size;
    // What each buffer lacks of the latest picture, in its own pixels.
    std::array<QRegion, 2> m_stale;
    // What changed since the last commit: all the compositor need redraw,
    // the rest of a buffer's stale part being what the other one showed.
    QRegion m_damage;
    // The latest picture, while no buffer was free to take it.
    QImage m_waiting;
    std::function<void()> m_onClosed;
    std::function<void()> m_onPictureWanted;
};
