// A Wayland compositor for tests, offering only what a session-lock client
// needs: wl_compositor, wl_shm, wl_output, a wl_seat with a keyboard, and
// ext_session_lock_manager_v1. It shows nothing; it writes what the client
// does as lines on standard output, each committed buffer as
// FOLDER/output-N.ppm, and takes commands on standard input:
//   key CODE       press and release an evdev key on the focused surface
//   output W H     add an output
//   remove N       take output N away
//   lockapp_lockcompositor FOLDER
// Socket: wayland-lockapp-test in $XDG_RUNTIME_DIR.
#include "ext-session-lock-v1-server.h"

#include <wayland-server.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>
#include <vector>

namespace {

struct Output
{
    int number;
    int width;
    int height;
    wl_global* global = nullptr;
};

struct LockSurface;

struct Surface
{
    wl_resource* resource;
    wl_resource* pending = nullptr;
    bool attached = false;
    LockSurface* lockSurface = nullptr;
};

struct LockSurface
{
    wl_resource* lock;
    wl_resource* resource;
    Surface* surface;
    Output* output;
    uint32_t sentSerial = 0;
    bool acked = false;
    bool mapped = false;
};

struct State
{
    std::string folder;
    wl_display* display = nullptr;
    std::list<Output> outputs;
    std::vector<wl_resource*> keyboards;
    std::list<LockSurface> lockSurfaces;
    wl_resource* lock = nullptr;
    bool locked = false;
    Surface* focus = nullptr;
    std::string keymap;
    uint32_t serial = 1;
} state;

void say(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::putchar('\n');
    std::fflush(stdout);
}

void fail(wl_resource* resource, uint32_t code, const char* what)
{
    say("error: %s", what);
    wl_resource_post_error(resource, code, "%s", what);
}

void dump(const Output& output, wl_shm_buffer* buffer)
{
    const int width = wl_shm_buffer_get_width(buffer);
    const int height = wl_shm_buffer_get_height(buffer);
    const int stride = wl_shm_buffer_get_stride(buffer);
    const std::string path = state.folder + "/output-" + std::to_string(output.number) + ".ppm";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return;
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    wl_shm_buffer_begin_access(buffer);
    const auto* pixels = static_cast<const uint8_t*>(wl_shm_buffer_get_data(buffer));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* pixel = pixels + y * stride + x * 4;
            const uint8_t rgb[3] = {pixel[2], pixel[1], pixel[0]};
            std::fwrite(rgb, 1, 3, file);
        }
    }
    wl_shm_buffer_end_access(buffer);
    std::fclose(file);
}

void sendKeyboardEnter(wl_resource* keyboard)
{
    if (!state.focus || wl_resource_get_client(keyboard) != wl_resource_get_client(state.focus->resource))
        return;
    wl_array keys;
    wl_array_init(&keys);
    wl_keyboard_send_enter(keyboard, state.serial++, state.focus->resource, &keys);
    wl_array_release(&keys);
}

// Locked once every output shows a lock surface.
void checkLocked()
{
    if (!state.lock || state.locked)
        return;
    for (const Output& output : state.outputs) {
        if (!output.global)
            continue;
        bool covered = false;
        for (const LockSurface& lockSurface : state.lockSurfaces)
            covered = covered || (lockSurface.lock == state.lock && lockSurface.output == &output && lockSurface.mapped);
        if (!covered)
            return;
    }
    state.locked = true;
    ext_session_lock_v1_send_locked(state.lock);
    say("locked");
}

// wl_surface

void surfaceCommit(wl_client*, wl_resource* resource)
{
    auto* surface = static_cast<Surface*>(wl_resource_get_user_data(resource));
    LockSurface* lockSurface = surface->lockSurface;
    if (!surface->attached)
        return;
    surface->attached = false;
    wl_resource* buffer = surface->pending;
    surface->pending = nullptr;
    if (!lockSurface)
        return;
    if (!lockSurface->acked)
        return fail(lockSurface->resource, EXT_SESSION_LOCK_SURFACE_V1_ERROR_COMMIT_BEFORE_FIRST_ACK,
                    "commit before the first ack_configure");
    if (!buffer)
        return fail(lockSurface->resource, EXT_SESSION_LOCK_SURFACE_V1_ERROR_NULL_BUFFER, "null buffer");
    wl_shm_buffer* shm = wl_shm_buffer_get(buffer);
    if (!shm)
        return fail(resource, 0, "not a shared-memory buffer");
    const int width = wl_shm_buffer_get_width(shm);
    const int height = wl_shm_buffer_get_height(shm);
    if (width != lockSurface->output->width || height != lockSurface->output->height)
        return fail(lockSurface->resource, EXT_SESSION_LOCK_SURFACE_V1_ERROR_DIMENSIONS_MISMATCH,
                    "buffer size differs from the configured size");
    if (lockSurface->lock != state.lock) {
        wl_buffer_send_release(buffer);
        return say("commit on a lock that is not the session's");
    }
    dump(*lockSurface->output, shm);
    wl_buffer_send_release(buffer);
    say("commit %d %dx%d", lockSurface->output->number, width, height);
    if (!lockSurface->mapped) {
        lockSurface->mapped = true;
        if (!state.focus) {
            state.focus = surface;
            for (wl_resource* keyboard : state.keyboards)
                sendKeyboardEnter(keyboard);
        }
        checkLocked();
    }
}

void surfaceAttach(wl_client*, wl_resource* resource, wl_resource* buffer, int32_t, int32_t)
{
    auto* surface = static_cast<Surface*>(wl_resource_get_user_data(resource));
    surface->pending = buffer;
    surface->attached = true;
}

void destroyResource(wl_client*, wl_resource* resource)
{
    wl_resource_destroy(resource);
}

const struct wl_surface_interface surfaceImplementation = {
    destroyResource,
    surfaceAttach,
    [](wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {},
    [](wl_client*, wl_resource*, uint32_t) {},
    [](wl_client*, wl_resource*, wl_resource*) {},
    [](wl_client*, wl_resource*, wl_resource*) {},
    surfaceCommit,
    [](wl_client*, wl_resource*, int32_t) {},
    [](wl_client*, wl_resource*, int32_t) {},
    [](wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {},
    [](wl_client*, wl_resource*, int32_t, int32_t) {},
};

void surfaceGone(wl_resource* resource)
{
    auto* surface = static_cast<Surface*>(wl_resource_get_user_data(resource));
    if (state.focus == surface)
        state.focus = nullptr;
    if (surface->lockSurface)
        surface->lockSurface->surface = nullptr;
    delete surface;
}

const struct wl_region_interface regionImplementation = {
    destroyResource,
    [](wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {},
    [](wl_client*, wl_resource*, int32_t, int32_t, int32_t, int32_t) {},
};

const struct wl_compositor_interface compositorImplementation = {
    [](wl_client* client, wl_resource* resource, uint32_t id) {
        wl_resource* surface = wl_resource_create(client, &wl_surface_interface, wl_resource_get_version(resource), id);
        wl_resource_set_implementation(surface, &surfaceImplementation, new Surface{surface}, surfaceGone);
    },
    [](wl_client* client, wl_resource* resource, uint32_t id) {
        wl_resource* region = wl_resource_create(client, &wl_region_interface, wl_resource_get_version(resource), id);
        wl_resource_set_implementation(region, &regionImplementation, nullptr, nullptr);
    },
};

// wl_output

const struct wl_output_interface outputImplementation = {destroyResource};

void bindOutput(wl_client* client, void* data, uint32_t version, uint32_t id)
{
    const auto* output = static_cast<Output*>(data);
    wl_resource* resource = wl_resource_create(client, &wl_output_interface, int(version), id);
    wl_resource_set_implementation(resource, &outputImplementation, data, nullptr);
    wl_output_send_geometry(resource, 0, 0, 0, 0, WL_OUTPUT_SUBPIXEL_UNKNOWN, "test", "output",
                            WL_OUTPUT_TRANSFORM_NORMAL);
    wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT, output->width, output->height, 60000);
    if (version >= WL_OUTPUT_DONE_SINCE_VERSION)
        wl_output_send_done(resource);
}

void addOutput(int width, int height)
{
    state.outputs.push_back({int(state.outputs.size()) + 1, width, height});
    Output& output = state.outputs.back();
    output.global = wl_global_create(state.display, &wl_output_interface, 3, &output, bindOutput);
    say("output %d %dx%d", output.number, width, height);
}

// wl_seat and its keyboard

const struct wl_keyboard_interface keyboardImplementation = {destroyResource};

void keyboardGone(wl_resource* resource)
{
    auto& keyboards = state.keyboards;
    keyboards.erase(std::remove(keyboards.begin(), keyboards.end(), resource), keyboards.end());
}

void getKeyboard(wl_client* client, wl_resource* seat, uint32_t id)
{
    wl_resource* keyboard = wl_resource_create(client, &wl_keyboard_interface, wl_resource_get_version(seat), id);
    wl_resource_set_implementation(keyboard, &keyboardImplementation, nullptr, keyboardGone);
    state.keyboards.push_back(keyboard);
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    const size_t size = state.keymap.size() + 1;
    if (fd < 0 || ftruncate(fd, off_t(size)) != 0 || pwrite(fd, state.keymap.c_str(), size, 0) != ssize_t(size)) {
        say("error: cannot hand out the keymap");
        return;
    }
    wl_keyboard_send_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, uint32_t(size));
    close(fd);
    sendKeyboardEnter(keyboard);
}

const struct wl_seat_interface seatImplementation = {
    [](wl_client*, wl_resource* seat, uint32_t) { wl_resource_post_error(seat, 0, "no pointer"); },
    getKeyboard,
    [](wl_client*, wl_resource* seat, uint32_t) { wl_resource_post_error(seat, 0, "no touch"); },
    destroyResource,
};

void bindSeat(wl_client* client, void*, uint32_t version, uint32_t id)
{
    wl_resource* seat = wl_resource_create(client, &wl_seat_interface, int(version), id);
    wl_resource_set_implementation(seat, &seatImplementation, nullptr, nullptr);
    wl_seat_send_capabilities(seat, WL_SEAT_CAPABILITY_KEYBOARD);
    if (version >= WL_SEAT_NAME_SINCE_VERSION)
        wl_seat_send_name(seat, "seat0");
}

void sendKey(uint32_t key)
{
    if (!state.focus) {
        say("key %u dropped", key);
        return;
    }
    for (wl_resource* keyboard : state.keyboards) {
        if (wl_resource_get_client(keyboard) != wl_resource_get_client(state.focus->resource))
            continue;
        wl_keyboard_send_modifiers(keyboard, state.serial++, 0, 0, 0, 0);
        wl_keyboard_send_key(keyboard, state.serial++, 0, key, WL_KEYBOARD_KEY_STATE_PRESSED);
        wl_keyboard_send_key(keyboard, state.serial++, 0, key, WL_KEYBOARD_KEY_STATE_RELEASED);
    }
}

// The session lock

const struct ext_session_lock_surface_v1_interface lockSurfaceImplementation = {
    destroyResource,
    [](wl_client*, wl_resource* resource, uint32_t serial) {
        auto* lockSurface = static_cast<LockSurface*>(wl_resource_get_user_data(resource));
        if (serial != lockSurface->sentSerial)
            return fail(resource, EXT_SESSION_LOCK_SURFACE_V1_ERROR_INVALID_SERIAL, "unknown serial");
        lockSurface->acked = true;
    },
};

void lockSurfaceGone(wl_resource* resource)
{
    auto* lockSurface = static_cast<LockSurface*>(wl_resource_get_user_data(resource));
    say("lock-surface-destroyed %d", lockSurface->output->number);
    if (lockSurface->surface) {
        lockSurface->surface->lockSurface = nullptr;
        if (state.focus == lockSurface->surface)
            state.focus = nullptr;
    }
    state.lockSurfaces.remove_if([lockSurface](const LockSurface& s) { return &s == lockSurface; });
}

void lockGone(wl_resource* lock)
{
    if (lock != state.lock)
        return;
    state.lock = nullptr;
    state.locked = false;
}

const struct ext_session_lock_v1_interface lockImplementation = {
    [](wl_client*, wl_resource* lock) {
        if (lock == state.lock && state.locked)
            return fail(lock, EXT_SESSION_LOCK_V1_ERROR_INVALID_DESTROY, "destroy after locked");
        say("lock-destroyed");
        wl_resource_destroy(lock);
    },
    [](wl_client* client, wl_resource* lock, uint32_t id, wl_resource* surfaceResource, wl_resource* outputResource) {
        auto* surface = static_cast<Surface*>(wl_resource_get_user_data(surfaceResource));
        auto* output = static_cast<Output*>(wl_resource_get_user_data(outputResource));
        for (const LockSurface& other : state.lockSurfaces) {
            if (other.lock == lock && other.output == output)
                return fail(lock, EXT_SESSION_LOCK_V1_ERROR_DUPLICATE_OUTPUT, "a second lock surface on an output");
        }
        wl_resource* resource = wl_resource_create(client, &ext_session_lock_surface_v1_interface, 1, id);
        state.lockSurfaces.push_back({lock, resource, surface, output});
        LockSurface& lockSurface = state.lockSurfaces.back();
        surface->lockSurface = &lockSurface;
        wl_resource_set_implementation(resource, &lockSurfaceImplementation, &lockSurface, lockSurfaceGone);
        say("lock-surface %d", output->number);
        lockSurface.sentSerial = state.serial++;
        ext_session_lock_surface_v1_send_configure(resource, lockSurface.sentSerial, uint32_t(output->width),
                                                   uint32_t(output->height));
    },
    [](wl_client*, wl_resource* lock) {
        if (lock != state.lock || !state.locked)
            return fail(lock, EXT_SESSION_LOCK_V1_ERROR_INVALID_UNLOCK, "unlock before locked");
        say("unlock");
        state.locked = false;
        wl_resource_destroy(lock);
    },
};

const struct ext_session_lock_manager_v1_interface managerImplementation = {
    destroyResource,
    [](wl_client* client, wl_resource* manager, uint32_t id) {
        wl_resource* lock = wl_resource_create(client, &ext_session_lock_v1_interface, 1, id);
        wl_resource_set_implementation(lock, &lockImplementation, nullptr, lockGone);
        if (state.lock) {
            say("lock refused");
            ext_session_lock_v1_send_finished(lock);
            return;
        }
        (void)manager;
        state.lock = lock;
        say("lock");
        checkLocked();
    },
};

void bindManager(wl_client* client, void*, uint32_t, uint32_t id)
{
    wl_resource* manager = wl_resource_create(client, &ext_session_lock_manager_v1_interface, 1, id);
    wl_resource_set_implementation(manager, &managerImplementation, nullptr, nullptr);
}

void bindCompositor(wl_client* client, void*, uint32_t version, uint32_t id)
{
    wl_resource* compositor = wl_resource_create(client, &wl_compositor_interface, int(version), id);
    wl_resource_set_implementation(compositor, &compositorImplementation, nullptr, nullptr);
}

int readCommand(int fd, uint32_t, void*)
{
    static std::string pending;
    char chunk[256];
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got <= 0) {
        wl_display_terminate(state.display);
        return 0;
    }
    pending.append(chunk, size_t(got));
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        const std::string line = pending.substr(0, end);
        unsigned key = 0;
        int width = 0, height = 0, number = 0;
        if (std::sscanf(line.c_str(), "key %u", &key) == 1) {
            sendKey(key);
        } else if (std::sscanf(line.c_str(), "output %d %d", &width, &height) == 2) {
            addOutput(width, height);
        } else if (std::sscanf(line.c_str(), "remove %d", &number) == 1) {
            for (Output& output : state.outputs) {
                if (output.number == number && output.global) {
                    wl_global_remove(output.global);
                    output.global = nullptr;
                    say("removed %d", number);
                }
            }
        }
    }
    wl_display_flush_clients(state.display);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lockapp_lockcompositor FOLDER\n");
        return 2;
    }
    state.folder = argv[1];
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        std::fprintf(stderr, "lockcompositor: no keymap\n");
        return 1;
    }
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    state.keymap = text;
    std::free(text);

    state.display = wl_display_create();
    if (wl_display_add_socket(state.display, "wayland-lockapp-test") != 0) {
        std::fprintf(stderr, "lockcompositor: cannot listen\n");
        return 1;
    }
    wl_display_init_shm(state.display);
    wl_global_create(state.display, &wl_compositor_interface, 4, nullptr, bindCompositor);
    wl_global_create(state.display, &wl_seat_interface, 5, nullptr, bindSeat);
    wl_global_create(state.display, &ext_session_lock_manager_v1_interface, 1, nullptr, bindManager);
    addOutput(360, 720);
    wl_event_loop_add_fd(wl_display_get_event_loop(state.display), 0, WL_EVENT_READABLE, readCommand, nullptr);
    say("ready");
    wl_display_run(state.display);
    wl_display_destroy_clients(state.display);
    wl_display_destroy(state.display);
    return 0;
}
