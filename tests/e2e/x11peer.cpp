// Another X client, for the keyguard tests: it does what a menu, a window
// manager or a curious client would do to the lock window.
//   x11peer grab SECONDS   hold the keyboard and the pointer (an open menu),
//                          say "grabbed" once they are held, let go after SECONDS
//   x11peer trygrab        try to take both; prints "keyboard=free|held" and
//                          "pointer=free|held" (held: another client has it)
//   x11peer close WINDOW   ask WINDOW to close with WM_DELETE_WINDOW, as a
//                          window manager does for Alt+F4, and with
//                          _NET_CLOSE_WINDOW to the root, as a pager does
//   x11peer top            the topmost mapped child of the root window
//   x11peer notify X Y W H show a plain red override-redirect window there
//                          (a notification: no window manager stacks it),
//                          print its id once it is mapped, keep it until killed
//   x11peer raiser HZ X Y W H  the same, raising itself HZ times a second
//   x11peer attack unmap|destroy|configure WINDOW
//                          unmap, destroy, or move off the screen, shrink to
//                          1x1 and stack below every other window, another
//                          client's window; prints the milliseconds until it
//                          is back (mapped again, a new top-level mapped, its
//                          geometry restored), or "never" after 5 s
//   x11peer sample N X Y   reads the screen's pixel at X,Y N times, 10 ms
//                          apart; prints how many were pure red (a peer's)
#include "platform/x11reply.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

uint8_t grabKeyboard(xcb_connection_t* c, xcb_window_t root)
{
    const X11Reply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(
            c, xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr));
    return reply ? reply->status : 0xff;
}

uint8_t grabPointer(xcb_connection_t* c, xcb_window_t root)
{
    const X11Reply<xcb_grab_pointer_reply_t> reply(xcb_grab_pointer_reply(
            c,
            xcb_grab_pointer(c, 0, root, XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                             XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
            nullptr));
    return reply ? reply->status : 0xff;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const X11Reply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

int usage()
{
    std::fprintf(stderr, "usage: x11peer grab SECONDS | trygrab | close WINDOW | top | notify X Y W H | "
                         "raiser HZ X Y W H | attack unmap|destroy|configure WINDOW | sample N X Y\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "x11peer: cannot open the display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;

    if (command == "grab" && argc == 3) {
        const double seconds = std::atof(argv[2]);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        bool keyboard = false, pointer = false;
        while (!(keyboard && pointer) && std::chrono::steady_clock::now() < deadline) {
            keyboard = keyboard || grabKeyboard(c, root) == XCB_GRAB_STATUS_SUCCESS;
            pointer = pointer || grabPointer(c, root) == XCB_GRAB_STATUS_SUCCESS;
            if (!(keyboard && pointer))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!(keyboard && pointer)) {
            std::fprintf(stderr, "x11peer: could not grab\n");
            return 1;
        }
        std::printf("grabbed\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
        xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
        xcb_flush(c);
    } else if (command == "trygrab" && argc == 2) {
        const uint8_t keyboard = grabKeyboard(c, root);
        const uint8_t pointer = grabPointer(c, root);
        xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
        xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
        xcb_flush(c);
        std::printf("keyboard=%s\npointer=%s\n", keyboard == XCB_GRAB_STATUS_SUCCESS ? "free" : "held",
                    pointer == XCB_GRAB_STATUS_SUCCESS ? "free" : "held");
    } else if (command == "close" && argc == 3) {
        const xcb_window_t window = xcb_window_t(std::strtoul(argv[2], nullptr, 0));
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = atom(c, "WM_PROTOCOLS");
        event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        event.type = atom(c, "_NET_CLOSE_WINDOW");
        event.data.data32[0] = XCB_CURRENT_TIME;
        event.data.data32[1] = 2; // from a pager
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(c);
        // A round trip: the request has been handled before this exits.
        const X11Reply<xcb_get_input_focus_reply_t> roundTrip(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    } else if (command == "top" && argc == 2) {
        const X11Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        xcb_window_t top = XCB_NONE;
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            // Bottom to top: the last mapped one is on top.
            for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0 && top == XCB_NONE; --i) {
                const X11Reply<xcb_get_window_attributes_reply_t> attributes(
                        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr));
                if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE)
                    top = children[i];
            }
        }
        std::printf("%u\n", top);
    } else if ((command == "notify" && argc == 6) || (command == "raiser" && argc == 7)) {
        const bool raiser = command == "raiser";
        char** place = argv + (raiser ? 3 : 2);
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const xcb_window_t window = xcb_generate_id(c);
        const uint32_t values[] = { 0xff0000u, 1u, XCB_EVENT_MASK_STRUCTURE_NOTIFY };
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, int16_t(std::atoi(place[0])),
                          int16_t(std::atoi(place[1])), uint16_t(std::atoi(place[2])), uint16_t(std::atoi(place[3])), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(c, window);
        xcb_flush(c);
        while (const X11Reply<xcb_generic_event_t> event { xcb_wait_for_event(c) }) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                std::printf("%u\n", window);
                std::fflush(stdout);
                break;
            }
        }
        const auto period = std::chrono::duration<double>(raiser ? 1.0 / std::atof(argv[2]) : 3600.0);
        for (;;) {
            std::this_thread::sleep_for(period);
            if (raiser) {
                const uint32_t above = XCB_STACK_MODE_ABOVE;
                xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
            }
            xcb_flush(c);
            while (const X11Reply<xcb_generic_event_t> event { xcb_poll_for_event(c) }) {
            }
            if (xcb_connection_has_error(c))
                break;
        }
    } else if (command == "sample" && argc == 5) {
        const int samples = std::atoi(argv[2]);
        int red = 0;
        for (int i = 0; i < samples; ++i) {
            const X11Reply<xcb_get_image_reply_t> image(xcb_get_image_reply(
                    c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(std::atoi(argv[3])),
                                     int16_t(std::atoi(argv[4])), 1, 1, ~0u),
                    nullptr));
            uint32_t pixel = 0;
            if (image && xcb_get_image_data_length(image.get()) >= 4)
                std::memcpy(&pixel, xcb_get_image_data(image.get()), 4);
            red += (pixel & 0xffffffu) == 0xff0000u;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::printf("%d\n", red);
    } else if (command == "attack" && argc == 4) {
        const std::string how = argv[2];
        const xcb_window_t window = xcb_window_t(std::strtoul(argv[3], nullptr, 0));
        const X11Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
        if (!geometry)
            return usage();
        const uint32_t watched = how == "destroy" ? root : window;
        const uint32_t mask = how == "destroy" ? XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY : XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, watched, XCB_CW_EVENT_MASK, &mask);
        const auto start = std::chrono::steady_clock::now();
        if (how == "unmap") {
            xcb_unmap_window(c, window);
        } else if (how == "destroy") {
            xcb_destroy_window(c, window);
        } else {
            const uint32_t values[] = { uint32_t(-5000), 0, 1, 1, XCB_STACK_MODE_BELOW };
            xcb_configure_window(c, window,
                                 XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH
                                         | XCB_CONFIG_WINDOW_HEIGHT | XCB_CONFIG_WINDOW_STACK_MODE,
                                 values);
        }
        xcb_flush(c);
        bool back = false;
        while (!back && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            const X11Reply<xcb_generic_event_t> event(xcb_poll_for_event(c));
            if (!event) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
                back = how == "unmap" ? map->window == window : (how == "destroy" && map->window != window);
            } else if (type == XCB_CONFIGURE_NOTIFY && how == "configure") {
                const auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event.get());
                back = configure->window == window && configure->x == geometry->x && configure->y == geometry->y
                        && configure->width == geometry->width && configure->height == geometry->height;
            }
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        if (back)
            std::printf("%lld\n", static_cast<long long>(elapsed.count()));
        else
            std::printf("never\n");
    } else {
        xcb_disconnect(c);
        return usage();
    }
    xcb_disconnect(c);
    return 0;
}
