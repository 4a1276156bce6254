#include "key_decoder.h"

namespace {

constexpr int ESC = 27;

// Modifier bits, as in the xterm convention (parameter - 1).
constexpr int SHIFT = 1;
constexpr int ALT = 2;
constexpr int CTRL = 4;

enum Key { F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12, HOME, UP, PGUP, LEFT, RIGHT, END, DOWN,
           PGDN, INSERT, DELETE, NO_KEY };

struct SecondCodes {
    int prefix;
    int plain, shift, ctrl, alt;
};

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

KeyPress nothing(int consumed) { return {consumed, 0, {0, 0}}; }
KeyPress one(int consumed, int code) { return {consumed, 1, {code, 0}}; }

KeyPress extended(int consumed, Key key, int modifiers)
{
    if (key == NO_KEY) {
        return nothing(consumed);
    }
    const SecondCodes& codes = SECOND_CODES[key];
    // With several modifiers held, Alt wins over Ctrl and Ctrl over Shift.
    if (modifiers & ALT) {
        // Cursor keys take the prefix 0 with Alt.
        return {consumed, 2, {key >= HOME ? 0 : codes.prefix, codes.alt}};
    }
    if (modifiers & CTRL) {
        return {consumed, 2, {codes.prefix, codes.ctrl}};
    }
    if (modifiers & SHIFT) {
        return {consumed, 2, {codes.prefix, codes.shift}};
    }
    return {consumed, 2, {codes.prefix, codes.plain}};
}

// The letters that end a cursor or F1..F4 sequence, in CSI and SS3 form alike.
Key letter_key(int letter)
{
    switch (letter) {
    case 'A': return UP;
    case 'B': return DOWN;
    case 'C': return RIGHT;
    case 'D': return LEFT;
    case 'H': return HOME;
    case 'F': return END;
    case 'P': return F1;
    case 'Q': return F2;
    case 'R': return F3;
    case 'S': return F4;
    default: return NO_KEY;
    }
}

// The number in "CSI n ~" (and rxvt's "CSI n $", "CSI n ^", "CSI n @").
Key tilde_key(int number)
{
    switch (number) {
    case 1: case 7: return HOME;
    case 2: return INSERT;
    case 3: return DELETE;
    case 4: case 8: return END;
    case 5: return PGUP;
    case 6: return PGDN;
    case 11: return F1;
    case 12: return F2;
    case 13: return F3;
    case 14: return F4;
    case 15: return F5;
    case 17: return F6;
    case 18: return F7;
    case 19: return F8;
    case 20: return F9;
    case 21: return F10;
    case 23: return F11;
    case 24: return F12;
    default: return NO_KEY;
    }
}

// The keypad in application mode sends SS3 and a letter for the keys that type characters.
int keypad_character(int letter)
{
    if (letter >= 'p' && letter <= 'y') {
        return '0' + (letter - 'p');
    }
    switch (letter) {
    case 'M': return 13;
    case 'X': return '=';
    case 'j': return '*';
    case 'k': return '+';
    case 'l': return ',';
    case 'm': return '-';
    case 'n': return '.';
    case 'o': return '/';
    default: return 0;
    }
}

struct Parameters {
    bool valid;     // "", "n" or "n;m": what keys send; anything else belongs to no key
    int count;      // numbers given
    int first;      // -1 when absent
    int modifiers;  // xterm bits, 0 when absent
};

Parameters read_parameters(const unsigned char* bytes, int length)
{
    int values[2] = {-1, -1};
    int index = 0;
    for (int i = 0; i < length; ++i) {
        if (bytes[i] == ';' && index == 0) {
            index = 1;
        } else if (bytes[i] >= '0' && bytes[i] <= '9' && values[index] < 1000) {
            values[index] = (values[index] < 0 ? 0 : values[index] * 10) + (bytes[i] - '0');
        } else {
            return {false, 0, -1, 0};
        }
    }
    return {true, length == 0 ? 0 : index + 1, values[0], values[1] > 1 ? values[1] - 1 : 0};
}

// rxvt and the Linux console send Shift+F3 to Shift+F10 as the VT220's F13 to F20.
Key shifted_tilde_key(int number)
{
    switch (number) {
    case 25: return F3;
    case 26: return F4;
    case 28: return F5;
    case 29: return F6;
    case 31: return F7;
    case 32: return F8;
    case 33: return F9;
    case 34: return F10;
    default: return NO_KEY;
    }
}

KeyPress decode_tilde(int consumed, const Parameters& p, int modifiers)
{
    const Key shifted = shifted_tilde_key(p.first);
    if (shifted != NO_KEY) {
        return extended(consumed, shifted, modifiers | SHIFT);
    }
    return extended(consumed, tilde_key(p.first), modifiers);
}

KeyPress decode_csi_final(int consumed, const unsigned char* parameters, int length, int final_byte,
                          int alt)
{
    const Parameters p = read_parameters(parameters, length);
    if (!p.valid) {
        return nothing(consumed);  // a terminal's report or a private sequence, not a key
    }
    const int modifiers = p.modifiers | alt;
    switch (final_byte) {
    case '~': return decode_tilde(consumed, p, modifiers);
    case '$': return decode_tilde(consumed, p, modifiers | SHIFT);
    case '^': return decode_tilde(consumed, p, modifiers | CTRL);
    case '@': return decode_tilde(consumed, p, modifiers | CTRL | SHIFT);
    case 'Z': return p.count == 0 ? one(consumed, '\t') : nothing(consumed);  // Shift+Tab types a tab, as on the PC
    default: break;
    }
    // rxvt's Shift+cursor keys: a bare lower-case letter (with parameters it is something else).
    if (final_byte >= 'a' && final_byte <= 'd') {
        const Key keys[] = {UP, DOWN, RIGHT, LEFT};
        return extended(consumed, p.count == 0 ? keys[final_byte - 'a'] : NO_KEY, modifiers | SHIFT);
    }
    // Cursor keys and F1..F4 carry the modifier second ("1;5"), or, in xterm's older form, alone.
    if (p.count == 2 && p.first != 1) {
        return nothing(consumed);
    }
    const int lone_modifier = p.count == 1 && p.first > 1 ? p.first - 1 : 0;
    return extended(consumed, letter_key(final_byte), modifiers | lone_modifier);
}

// bytes[0..1] is ESC [.
KeyPress decode_csi(const unsigned char* bytes, int length, bool more_may_follow, int alt)
{
    // The Linux console's F1..F5: ESC [ [ A .. ESC [ [ E.
    if (length >= 3 && bytes[2] == '[') {
        if (length < 4) {
            return more_may_follow ? nothing(0) : nothing(length);
        }
        const int letter = bytes[3];
        return extended(4, letter >= 'A' && letter <= 'E' ? static_cast<Key>(F1 + (letter - 'A')) : NO_KEY,
                        alt);
    }
    bool intermediates = false;  // no key has them, but the sequence goes on to its final byte
    for (int i = 2; i < length; ++i) {
        const int byte = bytes[i];
        if (i >= MAX_KEY_BYTES) {
            return nothing(i);
        }
        if (byte >= 0x30 && byte <= 0x3F && !intermediates) {
            continue;  // parameter bytes
        }
        if (byte == '$' && !intermediates) {
            return decode_csi_final(i + 1, bytes + 2, i - 2, byte, alt);  // rxvt's Shift
        }
        if (byte >= 0x20 && byte <= 0x3F) {
            intermediates = true;
            continue;
        }
        if (byte >= 0x40 && byte <= 0x7E) {
            return intermediates ? nothing(i + 1) : decode_csi_final(i + 1, bytes + 2, i - 2, byte, alt);
        }
        // A control byte cannot be inside a sequence: what came so far was no key.
        return nothing(i);
    }
    if (more_may_follow && length < MAX_KEY_BYTES) {
        return nothing(0);
    }
    // ESC [ and nothing after it: Alt+[.
    return length == 2 ? one(2, '[') : nothing(length);
}

// bytes[0..1] is ESC O.
KeyPress decode_ss3(const unsigned char* bytes, int length, bool more_may_follow, int alt)
{
    for (int i = 2; i < length; ++i) {
        const int byte = bytes[i];
        if (i >= MAX_KEY_BYTES) {
            return nothing(i);
        }
        if ((byte >= '0' && byte <= '9') || byte == ';') {
            continue;  // some terminals put a modifier here
        }
        if (byte < 0x40 || byte > 0x7E) {
            return nothing(i);
        }
        const Parameters p = read_parameters(bytes + 2, i - 2);
        if (!p.valid) {
            return nothing(i + 1);
        }
        // A lone number is the modifier ("ESC O 5 P"); "1;5" has it second.
        const int modifiers = (p.modifiers != 0 ? p.modifiers : (p.first > 1 ? p.first - 1 : 0)) | alt;
        if (byte >= 'a' && byte <= 'd') {
            const Key keys[] = {UP, DOWN, RIGHT, LEFT};
            return extended(i + 1, keys[byte - 'a'], modifiers | CTRL);
        }
        const Key key = letter_key(byte);
        if (key != NO_KEY) {
            return extended(i + 1, key, modifiers);
        }
        const int character = keypad_character(byte);
        return character != 0 ? one(i + 1, character) : nothing(i + 1);
    }
    if (more_may_follow && length < MAX_KEY_BYTES) {
        return nothing(0);
    }
    // ESC O and nothing after it: Alt+O.
    return length == 2 ? one(2, 'O') : nothing(length);
}

int utf8_length(int lead)
{
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

// One character, whatever its length in UTF-8, is one key press and one code.
KeyPress decode_character(const unsigned char* bytes, int length, bool more_may_follow)
{
    const int lead = bytes[0];
    if (lead == 0) {
        return nothing(1);  // Ctrl+Space: no character, and 0 would pose as a prefix
    }
    const int needed = utf8_length(lead);
    if (needed == 1) {
        return one(1, lead);
    }
    long code_point = lead & (0x3F >> (needed - 1));
    int have = 1;
    for (; have < needed && have < length; ++have) {
        if ((bytes[have] & 0xC0) != 0x80) {
            return one(have, lead);  // broken character: taken as far as it went
        }
        code_point = (code_point << 6) | (bytes[have] & 0x3F);
    }
    if (have < needed) {
        return more_may_follow ? nothing(0) : one(have, lead);
    }
    // Latin-1 characters keep their code; the others have none of their own in one byte. A
    // character spelt with more bytes than it needs ("overlong") is no character at all, and must
    // not pass for a letter or for a prefix.
    return one(have, code_point >= 0x80 && code_point <= 0xFF ? static_cast<int>(code_point) : lead);
}

} // namespace

KeyPress decode_key(const unsigned char* bytes, int length, bool more_may_follow)
{
    if (length <= 0) {
        return nothing(0);
    }
    if (bytes[0] != ESC) {
        return decode_character(bytes, length, more_may_follow);
    }
    if (length == 1) {
        return more_may_follow ? nothing(0) : one(1, ESC);
    }
    int alt = 0;
    int start = 0;
    // Alt sends ESC before the key's own bytes; before another sequence it is ESC ESC [ ...
    if (bytes[1] == ESC) {
        if (length == 2) {
            return more_may_follow ? nothing(0) : one(1, ESC);
        }
        if (bytes[2] != '[' && bytes[2] != 'O') {
            return one(1, ESC);  // two Escape presses
        }
        alt = ALT;
        start = 1;
    }
    const unsigned char* sequence = bytes + start;
    const int remaining = length - start;
    KeyPress key;
    if (alt && remaining == 2 && !more_may_follow) {
        return one(1, ESC);  // Escape, then Alt+[ or Alt+O
    }
    if (sequence[1] == '[') {
        key = decode_csi(sequence, remaining, more_may_follow, alt);
    } else if (sequence[1] == 'O') {
        key = decode_ss3(sequence, remaining, more_may_follow, alt);
    } else {
        // Alt with a character key: the character.
        key = decode_character(sequence + 1, remaining - 1, more_may_follow);
        start += 1;
    }
    if (key.consumed == 0) {
        return key;
    }
    key.consumed += start;
    return key;
}
