// The PC keyboard's codes: for the keys that type no character a prefix (0 or 224) and the key's
// own second code, which depends on the modifier held; for a character one code. Every
// platform's key reader ends here.
#pragma once

#include "key_codes.h"

enum PcKey {
    KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5, KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, KEY_F11, KEY_F12,
    KEY_HOME, KEY_UP, KEY_PGUP, KEY_LEFT, KEY_RIGHT, KEY_END, KEY_DOWN, KEY_PGDN, KEY_INSERT, KEY_DELETE,
    KEY_NONE  // bytes or an event that stand for no key
};

// Modifier bits, as in the xterm convention (its parameter - 1).
constexpr int MOD_SHIFT = 1;
constexpr int MOD_ALT = 2;
constexpr int MOD_CTRL = 4;

// The two codes of key with the modifiers held; NO_KEY for KEY_NONE. on_keypad: a cursor key of
// the numeric keypad with Num Lock off, which takes the prefix 0 rather than 224.
KeyCodes pc_key_codes(PcKey key, int modifiers, bool on_keypad = false);

// The one code of a typed character (code point 1 up), for every platform alike: ASCII and
// Latin-1 characters keep their own; any other gives the first byte of its UTF-8 form, 0xC4 to
// 0xF4, which no question accepts.
int character_code(unsigned long code_point);
