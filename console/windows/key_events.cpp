#include "key_events.h"

#include "../common/pc_keys.h"

namespace {

// The console's virtual key codes and control key flags, by value, so that no Windows header
// is needed here.
constexpr int VK_CLEAR = 0x0C;
constexpr int VK_MENU = 0x12;  // Alt
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
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_NUMPAD9 = 0x69;
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

// The keypad's digit keys, with Num Lock on or off (then they are its cursor keys, 5 is Clear).
bool keypad_digit(int virtual_key, unsigned long control_state)
{
    if (virtual_key >= VK_NUMPAD0 && virtual_key <= VK_NUMPAD9) {
        return true;
    }
    if (control_state & ENHANCED_KEY) {
        return false;
    }
    return virtual_key == VK_CLEAR || virtual_key == VK_INSERT ||
           (virtual_key >= VK_PAGE_UP && virtual_key <= VK_DOWN);
}

// A character beyond 16 bits comes in two events, one for each half of its UTF-16 pair: the
// first half (0xD800 up) decides its code, the second (0xDC00 up) gives nothing more.
constexpr unsigned int FIRST_HALF = 0xD800;
constexpr unsigned int SECOND_HALF = 0xDC00;
constexpr unsigned int AFTER_HALVES = 0xE000;

KeyCodes character_key(unsigned int character)
{
    if (character == 0 || (character >= SECOND_HALF && character < AFTER_HALVES)) {
        return NO_KEY;
    }
    unsigned long code_point = character;
    if (character >= FIRST_HALF && character < SECOND_HALF) {
        code_point = 0x10000 + ((character - FIRST_HALF) << 10);
    }
    return {1, {character_code(code_point), 0}};
}

} // namespace

KeyCodes translate_key_event(KeyEventState& state, bool key_down, int virtual_key, unsigned long control_state,
                             unsigned int character)
{
    if (!key_down) {
        // A character made with Alt and the keypad's digits, or pasted by the console in that
        // form, comes with the release of Alt; any other release is no key press. Wine's console
        // also puts the last character typed with Alt there, which was a key press already.
        if (virtual_key != VK_MENU) {
            return NO_KEY;
        }
        const bool made_with_digits = state.alt_digits;
        state.alt_digits = false;
        return made_with_digits ? character_key(character) : NO_KEY;
    }
    // Any other key press ends such a character, also one whose Alt release never came (the
    // focus moved away meanwhile), so that a later release of Alt carries nothing of it.
    state.alt_digits =
        (control_state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) && keypad_digit(virtual_key, control_state);
    if (state.alt_digits) {
        return NO_KEY;  // a digit of such a character
    }
    if (character != 0) {
        return character_key(character);
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
