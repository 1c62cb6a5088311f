#pragma once

#include "platform/wayland/waylandproxy.h"

#include <QObject>
#include <QPointer>

#include <cstdint>

class QWidget;
struct wl_keyboard;
struct wl_seat;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// The seat's keyboard, read through xkbcommon with the compositor's keymap:
// the keys the compositor gives lockapp's surfaces become the toolkit's key
// events on the lock window, as the keys of the X11 window system would.
class WaylandKeyboard : public QObject
{
    Q_OBJECT
public:
    WaylandKeyboard(wl_seat* seat, QWidget* window);
    ~WaylandKeyboard() override;

    // The toolkit's key for an xkbcommon keysym (0 for none).
    static int qtKey(uint32_t keysym);
    // Whether the keysym lies on the keypad (the keypad modifier).
    static bool isKeypadKey(uint32_t keysym);

    static void onCapabilities(void* data, wl_seat*, uint32_t capabilities);
    static void onKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size);
    static void onKey(void* data, wl_keyboard*, uint32_t serial, uint32_t time, uint32_t key, uint32_t state);
    static void onModifiers(void* data, wl_keyboard*, uint32_t serial, uint32_t depressed, uint32_t latched,
                            uint32_t locked, uint32_t group);

private:
    void sendKey(uint32_t key, bool pressed);

    QPointer<QWidget> m_window;
    wl_seat* m_seat;
    WaylandProxy<wl_keyboard> m_keyboard;
    xkb_context* m_context;
    xkb_keymap* m_keymap = nullptr;
    xkb_state* m_state = nullptr;
};
