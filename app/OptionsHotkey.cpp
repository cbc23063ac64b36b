// Hot-key values and key combinations.

#include "app/OptionsHotkey.h"

#include <array>
#include <utility>

namespace {

constexpr int kShift = 1;
constexpr int kControl = 2;
constexpr int kAlt = 4;

// Key codes of the keys that are neither letters, digits nor function keys.
constexpr std::array<std::pair<int, Qt::Key>, 14> kNamedKeys = {{{0x20, Qt::Key_Space},
                                                                 {0x21, Qt::Key_PageUp},
                                                                 {0x22, Qt::Key_PageDown},
                                                                 {0x23, Qt::Key_End},
                                                                 {0x24, Qt::Key_Home},
                                                                 {0x25, Qt::Key_Left},
                                                                 {0x26, Qt::Key_Up},
                                                                 {0x27, Qt::Key_Right},
                                                                 {0x28, Qt::Key_Down},
                                                                 {0x2D, Qt::Key_Insert},
                                                                 {0x2E, Qt::Key_Delete},
                                                                 {0x6A, Qt::Key_Asterisk},
                                                                 {0x6B, Qt::Key_Plus},
                                                                 {0x6D, Qt::Key_Minus}}};
// The keypad's operator keys (0x6A to 0x6F, without the separator 0x6C).
constexpr int kKeypadDecimal = 0x6E;
constexpr int kKeypadDivide = 0x6F;

bool IsKeypadOperator(int code)
{
    return code >= 0x6A && code <= 0x6F;
}

} // namespace

QKeyCombination KeyCombinationOfHotkey(int hotkey)
{
    const int code = hotkey & 0xFF;
    const int flags = (hotkey >> 8) & 0xFF;
    Qt::KeyboardModifiers modifiers;
    if (flags & kShift)
        modifiers |= Qt::ShiftModifier;
    if (flags & kControl)
        modifiers |= Qt::ControlModifier;
    if (flags & kAlt)
        modifiers |= Qt::AltModifier;

    Qt::Key key = Qt::Key_unknown;
    if ((code >= '0' && code <= '9') || (code >= 'A' && code <= 'Z'))
        key = static_cast<Qt::Key>(code);
    else if (code >= 0x60 && code <= 0x69) {
        key = static_cast<Qt::Key>(Qt::Key_0 + (code - 0x60));
        modifiers |= Qt::KeypadModifier;
    } else if (code >= 0x70 && code <= 0x87)
        key = static_cast<Qt::Key>(Qt::Key_F1 + (code - 0x70));
    else if (code == kKeypadDecimal)
        key = Qt::Key_Period;
    else if (code == kKeypadDivide)
        key = Qt::Key_Slash;
    else
        for (const auto& [named, qtKey] : kNamedKeys)
            if (named == code)
                key = qtKey;
    if (key == Qt::Key_unknown)
        return QKeyCombination();
    if (IsKeypadOperator(code))
        modifiers |= Qt::KeypadModifier;
    return QKeyCombination(modifiers, key);
}

int HotkeyOfKeyCombination(QKeyCombination combination)
{
    const Qt::Key key = combination.key();
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    int code = 0;
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        code = keypad ? 0x60 + (key - Qt::Key_0) : static_cast<int>(key);
    else if (key >= Qt::Key_A && key <= Qt::Key_Z)
        code = static_cast<int>(key);
    else if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        code = 0x70 + (key - Qt::Key_F1);
    else if (keypad && key == Qt::Key_Period)
        code = kKeypadDecimal;
    else if (keypad && key == Qt::Key_Slash)
        code = kKeypadDivide;
    else
        for (const auto& [named, qtKey] : kNamedKeys)
            if (qtKey == key && (keypad || !IsKeypadOperator(named)))
                code = named;
    if (code == 0)
        return 0;
    int flags = 0;
    if (modifiers.testFlag(Qt::ShiftModifier))
        flags |= kShift;
    if (modifiers.testFlag(Qt::ControlModifier))
        flags |= kControl;
    if (modifiers.testFlag(Qt::AltModifier))
        flags |= kAlt;
    return (flags << 8) | code;
}
