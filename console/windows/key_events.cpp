#include "key_events.h"

#include "../common/pc_keys.h"

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

struct VirtualKey {
    int virtual_key;
    PcKey key;
};

constexpr VirtualKey KEYS_WITHOUT_CHARACTER[] = {
    {VK_F1, KEY_F1},         {VK_F1 + 1, KEY_F2},     {VK_F1 + 2, KEY_F3},   {VK_F1 + 3, KEY_F4},
    {VK_F1 + 4, KEY_F5},     {VK_F1 + 5, KEY_F6},     {VK_F1 + 6, KEY_F7},   {VK_F1 + 7, KEY_F8},
    {VK_F1 + 8, KEY_F9},     {VK_F1 + 9, KEY_F10},    {VK_F1 + 10, KEY_F11}, {VK_F1 + 11, KEY_F12},
    {VK_HOME, KEY_HOME},     {VK_UP, KEY_UP},         {VK_PAGE_UP, KEY_PGUP}, {VK_LEFT, KEY_LEFT},
    {VK_RIGHT, KEY_RIGHT},   {VK_END, KEY_END},       {VK_DOWN, KEY_DOWN},   {VK_PAGE_DOWN, KEY_PGDN},
    {VK_INSERT, KEY_INSERT}, {VK_DELETE, KEY_DELETE},
};

int modifiers_held(unsigned long control_state)
{
    int modifiers = 0;
    if (control_state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) {
        modifiers |= MOD_ALT;
    }
    if (control_state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) {
        modifiers |= MOD_CTRL;
    }
    if (control_state & SHIFT_PRESSED) {
        modifiers |= MOD_SHIFT;
    }
    return modifiers;
}

} // namespace

KeyCodes translate_key_event(int virtual_key, unsigned long control_state, unsigned char character)
{
    if (character != 0) {
        return {1, {character, 0}};
    }
    for (const VirtualKey& entry : KEYS_WITHOUT_CHARACTER) {
        if (entry.virtual_key == virtual_key) {
            // The cursor keys without the enhanced flag are those of the numeric keypad.
            return pc_key_codes(entry.key, modifiers_held(control_state), (control_state & ENHANCED_KEY) == 0);
        }
    }
    // Shift, Ctrl, Alt, the lock keys, and keys that type nothing and have no pair.
    return NO_KEY;
}
