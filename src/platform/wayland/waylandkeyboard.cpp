#include "platform/wayland/waylandkeyboard.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

namespace {

const wl_seat_listener seatListener = {
    &WaylandKeyboard::onCapabilities,
    [](void*, wl_seat*, const char*) {},
};

const wl_keyboard_listener keyboardListener = {
    &WaylandKeyboard::onKeymap,
    [](void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {},
    [](void*, wl_keyboard*, uint32_t, wl_surface*) {},
    &WaylandKeyboard::onKey,
    &WaylandKeyboard::onModifiers,
    [](void*, wl_keyboard*, int32_t, int32_t) {},
};

// Keysyms outside Latin-1 that the lock screen's keys use.
struct NamedKey
{
    uint32_t keysym;
    int key;
};
constexpr NamedKey namedKeys[] = {
    {XKB_KEY_Return, Qt::Key_Return},
    {XKB_KEY_KP_Enter, Qt::Key_Enter},
    {XKB_KEY_Escape, Qt::Key_Escape},
    {XKB_KEY_BackSpace, Qt::Key_Backspace},
    {XKB_KEY_Tab, Qt::Key_Tab},
    {XKB_KEY_Delete, Qt::Key_Delete},
    {XKB_KEY_Home, Qt::Key_Home},
    {XKB_KEY_End, Qt::Key_End},
    {XKB_KEY_Left, Qt::Key_Left},
    {XKB_KEY_Right, Qt::Key_Right},
    {XKB_KEY_Up, Qt::Key_Up},
    {XKB_KEY_Down, Qt::Key_Down},
    {XKB_KEY_Menu, Qt::Key_Menu},
    {XKB_KEY_KP_Multiply, Qt::Key_Asterisk},
    {XKB_KEY_KP_Add, Qt::Key_Plus},
    {XKB_KEY_KP_Subtract, Qt::Key_Minus},
    {XKB_KEY_KP_Divide, Qt::Key_Slash},
    {XKB_KEY_KP_Decimal, Qt::Key_Period},
    {XKB_KEY_KP_Separator, Qt::Key_Comma},
    {XKB_KEY_KP_Equal, Qt::Key_Equal},
};

} // namespace

WaylandKeyboard::WaylandKeyboard(wl_seat* seat, QWidget* window)
    : m_window(window)
    , m_seat(seat)
    , m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    wl_seat_add_listener(seat, &seatListener, this);
}

WaylandKeyboard::~WaylandKeyboard()
{
    // The keyboard goes first, then what xkbcommon made of its keymap.
    m_keyboard.reset();
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

int WaylandKeyboard::qtKey(uint32_t keysym)
{
    if (keysym >= XKB_KEY_KP_0 && keysym <= XKB_KEY_KP_9)
        return Qt::Key_0 + int(keysym - XKB_KEY_KP_0);
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F35)
        return Qt::Key_F1 + int(keysym - XKB_KEY_F1);
    for (const NamedKey& named : namedKeys) {
        if (named.keysym == keysym)
            return named.key;
    }
    // Latin-1 keysyms are their characters; the toolkit names letters by
    // their capitals.
    if (keysym >= 0x20 && keysym <= 0xff)
        return int(xkb_keysym_to_upper(keysym));
    return 0;
}

bool WaylandKeyboard::isKeypadKey(uint32_t keysym)
{
    return keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal;
}

void WaylandKeyboard::onCapabilities(void* data, wl_seat*, uint32_t capabilities)
{
    auto* keyboard = static_cast<WaylandKeyboard*>(data);
    const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasKeyboard && !keyboard->m_keyboard) {
        keyboard->m_keyboard = ownProxy(wl_seat_get_keyboard(keyboard->m_seat), wl_keyboard_destroy);
        wl_keyboard_add_listener(keyboard->m_keyboard.get(), &keyboardListener, keyboard);
    } else if (!hasKeyboard) {
        keyboard->m_keyboard.reset();
    }
}

void WaylandKeyboard::onKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
{
    auto* keyboard = static_cast<WaylandKeyboard*>(data);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) {
        close(fd);
        return;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (text == MAP_FAILED)
        return;
    xkb_keymap* keymap = xkb_keymap_new_from_buffer(keyboard->m_context, static_cast<const char*>(text),
                                                    strnlen(static_cast<const char*>(text), size),
                                                    XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    munmap(text, size);
    if (!keymap)
        return;
    xkb_state_unref(keyboard->m_state);
    xkb_keymap_unref(keyboard->m_keymap);
    keyboard->m_keymap = keymap;
    keyboard->m_state = xkb_state_new(keymap);
}

void WaylandKeyboard::onKey(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t key, uint32_t state)
{
    static_cast<WaylandKeyboard*>(data)->sendKey(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
}

void WaylandKeyboard::onModifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
                                  uint32_t locked, uint32_t group)
{
    auto* keyboard = static_cast<WaylandKeyboard*>(data);
    if (keyboard->m_state)
        xkb_state_update_mask(keyboard->m_state, depressed, latched, locked, 0, 0, group);
}

void WaylandKeyboard::sendKey(uint32_t key, bool pressed)
{
    if (!m_state || !m_window)
        return;
    // Evdev key codes are the keymap's less 8.
    const xkb_keycode_t code = key + 8;
    const xkb_keysym_t keysym = xkb_state_key_get_one_sym(m_state, code);
    const int qtKey = WaylandKeyboard::qtKey(keysym);
    if (qtKey == 0)
        return;
    char text[16] = {};
    xkb_state_key_get_utf8(m_state, code, text, sizeof text);
    Qt::KeyboardModifiers modifiers;
    if (xkb_state_mod_name_is_active(m_state, XKB_MOD_NAME_SHIFT, XKB_STATE_MODS_EFFECTIVE) > 0)
        modifiers |= Qt::ShiftModifier;
    if (xkb_state_mod_name_is_active(m_state, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE) > 0)
        modifiers |= Qt::ControlModifier;
    if (xkb_state_mod_name_is_active(m_state, XKB_MOD_NAME_ALT, XKB_STATE_MODS_EFFECTIVE) > 0)
        modifiers |= Qt::AltModifier;
    if (isKeypadKey(keysym))
        modifiers |= Qt::KeypadModifier;
    QKeyEvent event(pressed ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, modifiers, code, keysym, 0,
                    QString::fromUtf8(text));
    QCoreApplication::sendEvent(m_window, &event);
}
