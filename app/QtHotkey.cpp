// The hotkey's key grab through the X11 connection Qt already has.

#include "app/QtHotkey.h"

#include <QGuiApplication>

#include <cstdlib>

#ifdef VELLACORD_X11_HOTKEY
#include <xcb/xcb.h>
#endif

namespace {

#ifdef VELLACORD_X11_HOTKEY

// Modifier flags of the hot-key value.
constexpr int kShift = 1;
constexpr int kControl = 2;
constexpr int kAlt = 4;

// The X11 key symbol of a hot-key value's key code; 0 for keys the hotkey does not offer.
std::uint32_t KeySymbolOf(int keyCode)
{
    if (keyCode >= '0' && keyCode <= '9')
        return static_cast<std::uint32_t>(keyCode);
    if (keyCode >= 'A' && keyCode <= 'Z')
        return static_cast<std::uint32_t>(keyCode - 'A' + 'a');
    if (keyCode >= 0x60 && keyCode <= 0x69) // keypad digits
        return 0xffb0 + static_cast<std::uint32_t>(keyCode - 0x60);
    if (keyCode >= 0x6A && keyCode <= 0x6F) // keypad * + separator - . /
        return 0xffaa + static_cast<std::uint32_t>(keyCode - 0x6A);
    if (keyCode >= 0x70 && keyCode <= 0x87) // F1 to F24
        return 0xffbe + static_cast<std::uint32_t>(keyCode - 0x70);
    if (keyCode >= 0x21 && keyCode <= 0x28) { // page up, page down, end, home, the arrows
        constexpr std::uint32_t kSymbols[] = {0xff55, 0xff56, 0xff57, 0xff50, 0xff51, 0xff52, 0xff53, 0xff54};
        return kSymbols[keyCode - 0x21];
    }
    switch (keyCode) {
    case 0x20:
        return 0x0020; // space
    case 0x2D:
        return 0xff63; // insert
    case 0x2E:
        return 0xffff; // delete
    default:
        return 0;
    }
}

xcb_connection_t* Connection()
{
    const auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t RootWindow(xcb_connection_t* connection)
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

xcb_keycode_t KeycodeOf(xcb_connection_t* connection, std::uint32_t symbol)
{
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr);
    if (mapping == nullptr)
        return 0;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perKey = mapping->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int key = 0; key < count && found == 0; ++key)
        for (int column = 0; column < perKey; ++column)
            if (symbols[key * perKey + column] == symbol) {
                found = static_cast<xcb_keycode_t>(first + key);
                break;
            }
    std::free(mapping);
    return found;
}

// Num Lock and Caps Lock must not keep the hotkey from working.
constexpr std::uint16_t kLockVariants[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr std::uint16_t kMatchedModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

#endif

} // namespace

QtHotkey::QtHotkey(QObject* parent) : QObject(parent)
{
}

QtHotkey::~QtHotkey()
{
    Unregister();
}

bool QtHotkey::Register(int hotkey)
{
    Unregister();
#ifdef VELLACORD_X11_HOTKEY
    xcb_connection_t* connection = Connection();
    const std::uint32_t symbol = KeySymbolOf(hotkey & 0xFF);
    if (connection == nullptr || symbol == 0)
        return false;
    const xcb_keycode_t keycode = KeycodeOf(connection, symbol);
    if (keycode == 0)
        return false;
    const int flags = (hotkey >> 8) & 0xFF;
    std::uint16_t modifiers = 0;
    if (flags & kShift)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (flags & kControl)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (flags & kAlt)
        modifiers |= XCB_MOD_MASK_1;
    bool refused = false;
    for (const std::uint16_t locks : kLockVariants) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, RootWindow(connection), modifiers | locks,
                                                              keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
            refused = true;
            std::free(error);
        }
    }
    keycode_ = keycode;
    modifiers_ = modifiers;
    if (refused) {
        Unregister();
        return false;
    }
    qApp->installNativeEventFilter(this);
    return true;
#else
    Q_UNUSED(hotkey);
    return false;
#endif
}

void QtHotkey::Unregister()
{
    if (keycode_ == 0)
        return;
#ifdef VELLACORD_X11_HOTKEY
    if (xcb_connection_t* connection = Connection()) {
        for (const std::uint16_t locks : kLockVariants)
            xcb_ungrab_key(connection, keycode_, RootWindow(connection), modifiers_ | locks);
        xcb_flush(connection);
    }
    if (qApp)
        qApp->removeNativeEventFilter(this);
#endif
    keycode_ = 0;
    modifiers_ = 0;
}

bool QtHotkey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
#ifdef VELLACORD_X11_HOTKEY
    if (keycode_ == 0 || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
    if (key->detail != keycode_ || (key->state & kMatchedModifiers) != modifiers_)
        return false;
    emit pressed();
    return true;
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    return false;
#endif
}
