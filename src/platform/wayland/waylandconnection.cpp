#include "platform/wayland/waylandconnection.h"

#include "platform/diagnostics.h"

#include "ext-session-lock-v1-client.h"
#include "viewporter-client.h"
#include "wlr-input-inhibitor-unstable-v1-client.h"
#include "platform/wayland/wlrlayershell.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <wayland-client.h>

#include <poll.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cerrno>
#include <cstring>

namespace {

const wl_registry_listener registryListener = {
    &WaylandConnection::onGlobal,
    &WaylandConnection::onGlobalRemoved,
};

template<typename Proxy>
Proxy* bindGlobal(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered,
                  uint32_t wanted)
{
    return static_cast<Proxy*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

// What libwayland says of a fault goes into lockapp's own one warning,
// rather than on a line of its own.
QByteArray lastLibraryMessage;

void keepLibraryMessage(const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    lastLibraryMessage = QByteArray(text).trimmed();
}

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::open()
{
    wl_log_set_handler_client(keepLibraryMessage);
    lastLibraryMessage.clear();
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    if (!connection->roundtrip())
        return nullptr;
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display)
    : m_display(display)
{
    m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(m_registry, &registryListener, this);
}

WaylandConnection::~WaylandConnection()
{
    for (const Output& output : m_outputs)
        wl_output_destroy(output.output);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_viewporter)
        wp_viewporter_destroy(m_viewporter);
    if (m_sessionLock)
        ext_session_lock_manager_v1_destroy(m_sessionLock);
    // The layer shell's destroy request came with version 3.
    if (m_layerShell && zwlr_layer_shell_v1_get_version(m_layerShell) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
        zwlr_layer_shell_v1_destroy(m_layerShell);
    else if (m_layerShell)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_layerShell));
    if (m_inhibitManager)
        zwlr_input_inhibit_manager_v1_destroy(m_inhibitManager);
    wl_registry_destroy(m_registry);
    // Disconnecting lets the compositor drop every object of this client
    // (surfaces, the lock, the inhibitor) at once.
    wl_display_disconnect(m_display);
}

QList<wl_output*> WaylandConnection::outputs() const
{
    QList<wl_output*> outputs;
    for (const Output& output : m_outputs)
        outputs.append(output.output);
    return outputs;
}

void WaylandConnection::onGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version)
{
    static_cast<WaylandConnection*>(data)->bind(name, interface, version);
}

void WaylandConnection::onGlobalRemoved(void* data, wl_registry*, uint32_t name)
{
    static_cast<WaylandConnection*>(data)->forget(name);
}

void WaylandConnection::bind(uint32_t name, const char* interface, uint32_t version)
{
    const auto is = [interface](const wl_interface& known) { return std::strcmp(interface, known.name) == 0; };
    if (is(wl_compositor_interface) && !m_compositor) {
        m_compositor = bindGlobal<wl_compositor>(m_registry, name, &wl_compositor_interface, version, 4);
    } else if (is(wl_shm_interface) && !m_shm) {
        m_shm = bindGlobal<wl_shm>(m_registry, name, &wl_shm_interface, version, 1);
    } else if (is(wl_seat_interface) && !m_seat) {
        m_seat = bindGlobal<wl_seat>(m_registry, name, &wl_seat_interface, version, 5);
    } else if (is(wp_viewporter_interface) && !m_viewporter) {
        m_viewporter = bindGlobal<wp_viewporter>(m_registry, name, &wp_viewporter_interface, version, 1);
    } else if (is(ext_session_lock_manager_v1_interface) && !m_sessionLock) {
        m_sessionLock = bindGlobal<ext_session_lock_manager_v1>(m_registry, name,
                                                                &ext_session_lock_manager_v1_interface, version, 1);
    } else if (is(zwlr_layer_shell_v1_interface) && !m_layerShell) {
        m_layerShell = bindGlobal<zwlr_layer_shell_v1>(m_registry, name, &zwlr_layer_shell_v1_interface, version, 4);
    } else if (is(zwlr_input_inhibit_manager_v1_interface) && !m_inhibitManager) {
        m_inhibitManager = bindGlobal<zwlr_input_inhibit_manager_v1>(
            m_registry, name, &zwlr_input_inhibit_manager_v1_interface, version, 1);
    } else if (is(wl_output_interface)) {
        auto* output = bindGlobal<wl_output>(m_registry, name, &wl_output_interface, version, 3);
        m_outputs.append({name, output});
        if (m_outputAdded)
            m_outputAdded(output);
    }
}

void WaylandConnection::forget(uint32_t name)
{
    for (int i = 0; i < m_outputs.size(); ++i) {
        if (m_outputs[i].name != name)
            continue;
        wl_output* output = m_outputs.takeAt(i).output;
        if (m_outputRemoved)
            m_outputRemoved(output);
        if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
            wl_output_release(output);
        else
            wl_output_destroy(output);
        return;
    }
}

void WaylandConnection::dispatch()
{
    if (m_broken)
        return;
    if (!m_readable) {
        // The first dispatch on the application's event loop: from now on
        // the socket wakes it, and nothing else.
        m_readable = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Read, this);
        connect(m_readable, &QSocketNotifier::activated, this, &WaylandConnection::dispatch);
    }
    // Events already queued are handled first; then the socket is read.
    while (wl_display_prepare_read(m_display) != 0) {
        if (wl_display_dispatch_pending(m_display) < 0) {
            checkHealth();
            return;
        }
    }
    wl_display_flush(m_display);
    // The socket has data when the notifier fires; otherwise reading
    // returns at once with nothing.
    pollfd ready = {wl_display_get_fd(m_display), POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0)
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    wl_display_dispatch_pending(m_display);
    if (checkHealth())
        flush();
}

void WaylandConnection::flush()
{
    if (m_broken)
        return;
    if (!m_readable) {
        dispatch();
        return;
    }
    const int sent = wl_display_flush(m_display);
    if (sent < 0 && errno == EAGAIN) {
        // The socket is full: send the rest once it takes more.
        if (!m_writable) {
            m_writable = new QSocketNotifier(wl_display_get_fd(m_display), QSocketNotifier::Write, this);
            connect(m_writable, &QSocketNotifier::activated, this, &WaylandConnection::flush);
        }
        m_writable->setEnabled(true);
        return;
    }
    if (m_writable)
        m_writable->setEnabled(false);
    checkHealth();
}

bool WaylandConnection::roundtrip()
{
    if (m_broken)
        return false;
    // Like wl_display_roundtrip, but a compositor that stops answering
    // costs a few seconds, not the process.
    bool done = false;
    static const wl_callback_listener doneListener = {
        [](void* data, wl_callback* callback, uint32_t) {
            if (data)
                *static_cast<bool*>(data) = true;
            wl_callback_destroy(callback);
        },
    };
    wl_callback* callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &doneListener, &done);
    QElapsedTimer waited;
    waited.start();
    while (!done && checkHealth()) {
        if (wl_display_prepare_read(m_display) != 0) {
            // Queued events first (the callback's among them, perhaps).
            wl_display_dispatch_pending(m_display);
            continue;
        }
        wl_display_flush(m_display);
        const qint64 left = RoundtripTimeoutMs - waited.elapsed();
        pollfd ready = {wl_display_get_fd(m_display), POLLIN, 0};
        if (left <= 0 || ::poll(&ready, 1, int(left)) <= 0) {
            wl_display_cancel_read(m_display);
            if (left > 0 && errno == EINTR)
                continue;
            // The callback stays with the connection, which is given up.
            wl_callback_set_user_data(callback, nullptr);
            failWith("the wayland compositor did not answer within "
                     + QByteArray::number(RoundtripTimeoutMs / 1000) + " s");
            return false;
        }
        wl_display_read_events(m_display);
        wl_display_dispatch_pending(m_display);
    }
    if (!done)
        wl_callback_set_user_data(callback, nullptr);
    return done && checkHealth();
}

bool WaylandConnection::checkHealth()
{
    if (m_broken)
        return false;
    const int error = wl_display_get_error(m_display);
    if (error == 0)
        return true;
    QByteArray why;
    const wl_interface* interface = nullptr;
    uint32_t object = 0;
    const uint32_t code = error == EPROTO ? wl_display_get_protocol_error(m_display, &interface, &object) : 0;
    if (error == EPROTO)
        why = QByteArray("protocol error ") + QByteArray::number(code) + " on "
              + (interface ? interface->name : "an unknown object");
    if (!lastLibraryMessage.isEmpty())
        why += ": " + lastLibraryMessage;
    else
        why = std::strerror(error);
    failWith("the wayland compositor ended lockapp's connection (" + why + ")");
    return false;
}

void WaylandConnection::failWith(const QByteArray& why)
{
    m_broken = true;
    if (m_readable)
        m_readable->setEnabled(false);
    if (m_writable)
        m_writable->setEnabled(false);
    writeWarning("warning: " + why + ": the lock screen is not held until the next LCDOff\n");
    emit broken();
}
