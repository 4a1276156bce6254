#include "pc_keys.h"

namespace {

struct SecondCodes {
    int prefix;
    int plain, shift, ctrl, alt;
};

// In the order of PcKey.
constexpr SecondCodes SECOND_CODES[] = {
    {0, 59, 84, 94, 104},     {0, 60, 85, 95, 105},     {0, 61, 86, 96, 106},
    {0, 62, 87, 97, 107},     {0, 63, 88, 98, 108},     {0, 64, 89, 99, 109},
    {0, 65, 90, 100, 110},    {0, 66, 91, 101, 111},    {0, 67, 92, 102, 112},
    {0, 68, 93, 103, 113},    {224, 133, 135, 137, 139}, {224, 134, 136, 138, 140},
    {224, 71, 71, 119, 151},  {224, 72, 72, 141, 152},  {224, 73, 73, 132, 153},
    {224, 75, 75, 115, 155},  {224, 77, 77, 116, 157},  {224, 79, 79, 117, 159},
    {224, 80, 80, 145, 154},  {224, 81, 81, 118, 161},  {224, 82, 82, 146, 162},
    {224, 83, 83, 147, 163},
};

} // namespace

KeyCodes pc_key_codes(PcKey key, int modifiers, bool on_keypad)
{
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
