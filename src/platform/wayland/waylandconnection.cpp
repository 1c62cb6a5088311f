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

// The layer shell's destroy request came with version 3; an older one is
// only let go of here.
void destroyLayerShell(zwlr_layer_shell_v1* layerShell)
{
    if (zwlr_layer_shell_v1_get_version(layerShell) >= ZWLR_LAYER_SHELL_V1_DESTROY_SINCE_VERSION)
        zwlr_layer_shell_v1_destroy(layerShell);
    else
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(layerShell));
}

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
    : m_display(ownProxy(display, wl_display_disconnect))
    , m_registry(ownProxy(wl_display_get_registry(display), wl_registry_destroy))
{
    wl_registry_add_listener(m_registry.get(), &registryListener, this);
}

WaylandConnection::~WaylandConnection()
{
    for (const Output& output : m_outputs)
        wl_output_destroy(output.output);
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
    wl_registry* registry = m_registry.get();
    if (is(wl_compositor_interface) && !m_compositor) {
        m_compositor = ownProxy(bindGlobal<wl_compositor>(registry, name, &wl_compositor_interface, version, 4),
                                wl_compositor_destroy);
    } else if (is(wl_shm_interface) && !m_shm) {
        m_shm = ownProxy(bindGlobal<wl_shm>(registry, name, &wl_shm_interface, version, 1), wl_shm_destroy);
    } else if (is(wl_seat_interface) && !m_seat) {
        m_seat = ownProxy(bindGlobal<wl_seat>(registry, name, &wl_seat_interface, version, 5), wl_seat_destroy);
    } else if (is(wp_viewporter_interface) && !m_viewporter) {
        m_viewporter = ownProxy(bindGlobal<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1),
                                wp_viewporter_destroy);
    } else if (is(ext_session_lock_manager_v1_interface) && !m_sessionLock) {
        m_sessionLock = ownProxy(bindGlobal<ext_session_lock_manager_v1>(
                                     registry, name, &ext_session_lock_manager_v1_interface, version, 1),
                                 ext_session_lock_manager_v1_destroy);
    } else if (is(zwlr_layer_shell_v1_interface) && !m_layerShell) {
        m_layerShell = ownProxy(
            bindGlobal<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 4),
            destroyLayerShell);
    } else if (is(zwlr_input_inhibit_manager_v1_interface) && !m_inhibitManager) {
        m_inhibitManager = ownProxy(bindGlobal<zwlr_input_inhibit_manager_v1>(
                                        registry, name, &zwlr_input_inhibit_manager_v1_interface, version, 1),
                                    zwlr_input_inhibit_manager_v1_destroy);
    } else if (is(wl_output_interface)) {
        auto* output = bindGlobal<wl_output>(registry, name, &wl_output_interface, version, 3);
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
        m_readable = new QSocketNotifier(wl_display_get_fd(m_display.get()), QSocketNotifier::Read, this);
        connect(m_readable, &QSocketNotifier::activated, this, &WaylandConnection::dispatch);
    }
    // Events already queued are handled first; then the socket is read.
    while (wl_display_prepare_read(m_display.get()) != 0) {
        if (wl_display_dispatch_pending(m_display.get()) < 0) {
            checkHealth();
            return;
        }
    }
    wl_display_flush(m_display.get());
    // The socket has data when the notifier fires; otherwise reading
    // returns at once with nothing.
    pollfd ready = {wl_display_get_fd(m_display.get()), POLLIN, 0};
    if (::poll(&ready, 1, 0) > 0)
        wl_display_read_events(m_display.get());
    else
        wl_display_cancel_read(m_display.get());
    wl_display_dispatch_pending(m_display.get());
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
    const int sent = wl_display_flush(m_display.get());
    if (sent < 0 && errno == EAGAIN) {
        // The socket is full: send the rest once it takes more.
        if (!m_writable) {
            m_writable = new QSocketNotifier(wl_display_get_fd(m_display.get()), QSocketNotifier::Write, this);
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
    wl_callback* callback = wl_display_sync(m_display.get());
    wl_callback_add_listener(callback, &doneListener, &done);
    QElapsedTimer waited;
    waited.start();
    while (!done && checkHealth()) {
        if (wl_display_prepare_read(m_display.get()) != 0) {
            // Queued events first (the callback's among them, perhaps).
            wl_display_dispatch_pending(m_display.get());
            continue;
        }
        wl_display_flush(m_display.get());
        const qint64 left = RoundtripTimeoutMs - waited.elapsed();
        pollfd ready = {wl_display_get_fd(m_display.get()), POLLIN, 0};
        if (left <= 0 || ::poll(&ready, 1, int(left)) <= 0) {
            wl_display_cancel_read(m_display.get());
            if (left > 0 && errno == EINTR)
                continue;
            // The callback stays with the connection, which is given up.
            wl_callback_set_user_data(callback, nullptr);
            failWith("the wayland compositor did not answer within "
                     + QByteArray::number(RoundtripTimeoutMs / 1000) + " s");
            return false;
        }
        wl_display_read_events(m_display.get());
        wl_display_dispatch_pending(m_display.get());
    }
    if (!done)
        wl_callback_set_user_data(callback, nullptr);
    return done && checkHealth();
}

bool WaylandConnection::checkHealth()
{
    if (m_broken)
        return false;
    const int error = wl_display_get_error(m_display.get());
    if (error == 0)
        return true;
    QByteArray why;
    const wl_interface* interface = nullptr;
    uint32_t object = 0;
    const uint32_t code = error == EPROTO ? wl_display_get_protocol_error(m_display.get(), &interface, &object) : 0;
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
