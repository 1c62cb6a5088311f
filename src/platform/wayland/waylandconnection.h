#pragma once

#include "platform/wayland/waylandproxy.h"

#include <QList>
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;
struct wl_compositor;
struct wl_display;
struct wl_output;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wp_viewporter;
struct ext_session_lock_manager_v1;
struct zwlr_layer_shell_v1;
struct zwlr_input_inhibit_manager_v1;

// lockapp's own connection to the Wayland compositor, on the application's
// event loop: the compositor's globals that holding the screen needs, and
// its outputs as they come and go. A fault on the connection (a protocol
// error, the compositor gone) is said once on standard error, and the
// connection is dead from then on: whoever holds it makes a new one.
class WaylandConnection : public QObject
{
    Q_OBJECT
public:
    // Null when no compositor answers at $WAYLAND_DISPLAY.
    static std::unique_ptr<WaylandConnection> open();
    ~WaylandConnection() override;

    bool offersSessionLock() const { return m_sessionLock != nullptr; }
    bool offersLayerShell() const { return m_layerShell != nullptr && m_inhibitManager != nullptr; }
    bool isBroken() const { return m_broken; }

    wl_compositor* compositor() const { return m_compositor.get(); }
    wl_shm* shm() const { return m_shm.get(); }
    wl_seat* seat() const { return m_seat.get(); }
    wp_viewporter* viewporter() const { return m_viewporter.get(); }
    ext_session_lock_manager_v1* sessionLock() const { return m_sessionLock.get(); }
    zwlr_layer_shell_v1* layerShell() const { return m_layerShell.get(); }
    zwlr_input_inhibit_manager_v1* inhibitManager() const { return m_inhibitManager.get(); }
    QList<wl_output*> outputs() const;

    // Reads and handles what the compositor has sent, without waiting
    // (the socket notifier calls it), and sends what is queued.
    void dispatch();
    // Sends the requests made since, as soon as the socket takes them.
    void flush();
    // Waits until the compositor has handled every request sent so far;
    // gives the connection up if it does not answer within a few seconds.
    bool roundtrip();

    static void onGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version);
    static void onGlobalRemoved(void* data, wl_registry*, uint32_t name);

    // Told of each output that comes, and of each just before it goes.
    void setOutputHooks(std::function<void(wl_output*)> added, std::function<void(wl_output*)> removed)
    {
        m_outputAdded = std::move(added);
        m_outputRemoved = std::move(removed);
    }

signals:
    // The connection has failed (said on standard error already).
    void broken();

private:
    explicit WaylandConnection(wl_display* display);
    void bind(uint32_t name, const char* interface, uint32_t version);
    void forget(uint32_t name);
    bool checkHealth();
    // Gives the connection up, saying why on standard error.
    void failWith(const QByteArray& why);

    static constexpr int RoundtripTimeoutMs = 3000;

    struct Output
    {
        uint32_t name;
        wl_output* output;
    };

    // Destroyed in the reverse of this order: the globals, the registry, and
    // last the display, whose disconnect lets the compositor drop every
    // object of this client (surfaces, the lock, the inhibitor) at once.
    WaylandProxy<wl_display> m_display;
    WaylandProxy<wl_registry> m_registry;
    WaylandProxy<zwlr_input_inhibit_manager_v1> m_inhibitManager;
    WaylandProxy<zwlr_layer_shell_v1> m_layerShell;
    WaylandProxy<ext_session_lock_manager_v1> m_sessionLock;
    WaylandProxy<wp_viewporter> m_viewporter;
    WaylandProxy<wl_shm> m_shm;
    WaylandProxy<wl_compositor> m_compositor;
    WaylandProxy<wl_seat> m_seat;
    // Destroyed by hand, before the rest.
    QList<Output> m_outputs;
    std::function<void(wl_output*)> m_outputAdded;
    std::function<void(wl_output*)> m_outputRemoved;
    QSocketNotifier* m_readable = nullptr;
    QSocketNotifier* m_writable = nullptr;
    bool m_broken = false;
};
