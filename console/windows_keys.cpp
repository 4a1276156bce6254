#include "windows_keys.h"

namespace {

// The console's virtual key codes and control key flags, by value, so that no Windows header
// is needed here.
constexpr int VK_PAGE_UP = 0x21;
constexpr int VK_PAGE_DOWN = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;

constexpr unsigned long RIGHT_ALT_PRESSED = 0x0001;
constexpr unsigned long LEFT_ALT_PRESSED = 0x0002;
constexpr unsigned long RIGHT_CTRL_PRESSED = 0x0004;
constexpr unsigned long LEFT_CTRL_PRESSED = 0x0008;
constexpr unsigned long SHIFT_PRESSED = 0x0010;
// Set for the separate cursor block, clear for the same keys on the numeric keypad.
constexpr unsigned long ENHANCED_KEY = 0x0100;

constexpr int CURSOR_BLOCK = -1;  // prefix 224 or 0, from where the key sits

struct ExtendedKey {
    int virtual_key;
    int prefix;
    int plain, shift, ctrl, alt;
};

constexpr ExtendedKey EXTENDED_KEYS[] = {
    {VK_F1, 0, 59, 84, 94, 104},
    {VK_F1 + 1, 0, 60, 85, 95, 105},
    {VK_F1 + 2, 0, 61, 86, 96, 106},
    {VK_F1 + 3, 0, 62, 87, 97, 107},
    {VK_F1 + 4, 0, 63, 88, 98, 108},
    {VK_F1 + 5, 0, 64, 89, 99, 109},
    {VK_F1 + 6, 0, 65, 90, 100, 110},
    {VK_F1 + 7, 0, 66, 91, 101, 111},
    {VK_F1 + 8, 0, 67, 92, 102, 112},
    {VK_F1 + 9, 0, 68, 93, 103, 113},
    {VK_F1 + 10, 224, 133, 135, 137, 139},
    {VK_F1 + 11, 224, 134, 136, 138, 140},
    {VK_HOME, CURSOR_BLOCK, 71, 71, 119, 151},
    {VK_UP, CURSOR_BLOCK, 72, 72, 141, 152},
    {VK_PAGE_UP, CURSOR_BLOCK, 73, 73, 132, 153},
    {VK_LEFT, CURSOR_BLOCK, 75, 75, 115, 155},
    {VK_RIGHT, CURSOR_BLOCK, 77, 77, 116, 157},
    {VK_END, CURSOR_BLOCK, 79, 79, 117, 159},
    {VK_DOWN, CURSOR_BLOCK, 80, 80, 145, 154},
    {VK_PAGE_DOWN, CURSOR_BLOCK, 81, 81, 118, 161},
    {VK_INSERT, CURSOR_BLOCK, 82, 82, 146, 162},
    {VK_DELETE, CURSOR_BLOCK, 83, 83, 147, 163},
};

} // namespace

KeyCodes translate_key_event(int virtual_key, unsigned long control_state, unsigned char character)
{
    if (character != 0) {
        return {1, {character, 0}};
    }
    for (const ExtendedKey& key : EXTENDED_KEYS) {
        if (key.virtual_key != virtual_key) {
            continue;
        }
        const bool alt = (control_state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0;
        int prefix = key.prefix;
        if (prefix == CURSOR_BLOCK) {
            // With Alt the cursor keys take 0 wherever they sit.
            prefix = (control_state & ENHANCED_KEY) != 0 && !alt ? 224 : 0;
        }
        // With several modifiers held, Alt wins over Ctrl and Ctrl over Shift.
        int code = key.plain;
        if (alt) {
            code = key.alt;
        } else if ((control_state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0) {
            code = key.ctrl;
        } else if ((control_state & SHIFT_PRESSED) != 0) {
            code = key.shift;
        }
        return {2, {prefix, code}};
    }
    // Shift, Ctrl, Alt, the lock keys, and keys that type nothing and have no pair.
    return {0, {0, 0}};
}
