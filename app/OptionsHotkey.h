#pragma once
// The hot-key value the user settings store (key code in the low byte; shift 1, control 2,
// alt 4 in the high byte) as the key combination a key editor shows, and back.

#include <QKeyCombination>

// The combination of a stored value; an empty combination for 0 or a key the value cannot name.
QKeyCombination KeyCombinationOfHotkey(int hotkey);
// The stored value of a combination; 0 (no hotkey) for a key the hotkey does not offer.
int HotkeyOfKeyCombination(QKeyCombination combination);
