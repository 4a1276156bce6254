#include "pc_keys.h"

namespace {

struct SecondCodes {
    PcKey key;
    int prefix;
    int plain, shift, ctrl, alt;
};

constexpr SecondCodes SECOND_CODES[] = {
    {KEY_F1, 0, 59, 84, 94, 104},        {KEY_F2, 0, 60, 85, 95, 105},
    {KEY_F3, 0, 61, 86, 96, 106},        {KEY_F4, 0, 62, 87, 97, 107},
    {KEY_F5, 0, 63, 88, 98, 108},        {KEY_F6, 0, 64, 89, 99, 109},
    {KEY_F7, 0, 65, 90, 100, 110},       {KEY_F8, 0, 66, 91, 101, 111},
    {KEY_F9, 0, 67, 92, 102, 112},       {KEY_F10, 0, 68, 93, 103, 113},
    {KEY_F11, 224, 133, 135, 137, 139},  {KEY_F12, 224, 134, 136, 138, 140},
    {KEY_HOME, 224, 71, 71, 119, 151},   {KEY_UP, 224, 72, 72, 141, 152},
    {KEY_PGUP, 224, 73, 73, 132, 153},   {KEY_LEFT, 224, 75, 75, 115, 155},
    {KEY_RIGHT, 224, 77, 77, 116, 157},  {KEY_END, 224, 79, 79, 117, 159},
    {KEY_DOWN, 224, 80, 80, 145, 160},   {KEY_PGDN, 224, 81, 81, 118, 161},
    {KEY_INSERT, 224, 82, 82, 146, 162}, {KEY_DELETE, 224, 83, 83, 147, 163},
};

// The table is looked up by key: every key has its row, in the order of PcKey.
constexpr bool rows_in_key_order()
{
    int index = 0;
    for (const SecondCodes& row : SECOND_CODES) {
        if (row.key != index++) {
            return false;
        }
    }
    return index == KEY_NONE;
}
static_assert(rows_in_key_order(), "SECOND_CODES needs one row per PcKey, in the enum's order");

} // namespace

KeyCodes pc_key_codes(PcKey key, int modifiers, bool on_keypad)
{
    if (key == KEY_NONE) {
        return NO_KEY;
    }
    const SecondCodes& codes = SECOND_CODES[key];
    const bool cursor_key = key >= KEY_HOME;
    // The cursor keys take the prefix 0 on the keypad, and with Alt wherever they sit.
    const int prefix = cursor_key && (on_keypad || (modifiers & MOD_ALT)) ? 0 : codes.prefix;
    // With several modifiers held, Alt wins over Ctrl and Ctrl over Shift.
    if (modifiers & MOD_ALT) {
        return {2, {prefix, codes.alt}};
    }
    if (modifiers & MOD_CTRL) {
        return {2, {prefix, codes.ctrl}};
    }
    if (modifiers & MOD_SHIFT) {
        return {2, {prefix, codes.shift}};
    }
    return {2, {prefix, codes.plain}};
}

int character_code(unsigned long code_point)
{
    if (code_point <= 0xFF) {
        return static_cast<int>(code_point);
    }
    if (code_point <= 0x7FF) {
        return static_cast<int>(0xC0 | (code_point >> 6));
    }
    if (code_point <= 0xFFFF) {
        return static_cast<int>(0xE0 | (code_point >> 12));
    }
    return static_cast<int>(0xF0 | ((code_point >> 18) & 0x07));
}
