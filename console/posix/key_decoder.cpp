#include "key_decoder.h"

#include <climits>
#include <cstring>
#include <iterator>

namespace {

constexpr int ESC = 27;
constexpr int BEL = 7;
constexpr int CAN = 24;  // with SUB, cancels a control string
constexpr int SUB = 26;

// What the bytes at the front turned out to be, before it becomes codes.
struct Found {
    int consumed;   // 0: the key is not complete yet
    PcKey key;      // a key that types no character, or KEY_NONE
    int modifiers;  // with key
    int character;  // 1..255 for a key that types one, else 0
    const char* goes_on;  // see KeyPress
    bool on_keypad; // key is a cursor key of the numeric keypad
};

// What stands for a sequence that has gone on past MAX_KEY_BYTES, ahead of its rest. Too long for
// any key, a CSI or SS3 sequence is read on as a terminal's report is, to its final byte; a
// control string as begun, to its terminator.
constexpr char REPORT_GOES_ON[] = "\x1b[?";
constexpr char STRING_GOES_ON[] = "\x1bP+";

Found need_more() { return {0, KEY_NONE, 0, 0, nullptr, false}; }
Found nothing(int consumed) { return {consumed, KEY_NONE, 0, 0, nullptr, false}; }
Found goes_on(int consumed, const char* standing_for) { return {consumed, KEY_NONE, 0, 0, standing_for, false}; }
Found character(int consumed, int code) { return {consumed, KEY_NONE, 0, code, nullptr, false}; }
Found pc_key(int consumed, PcKey key, int modifiers) { return {consumed, key, modifiers, 0, nullptr, false}; }
Found keypad_key(int consumed, PcKey key, int modifiers) { return {consumed, key, modifiers, 0, nullptr, true}; }

// The letters that end a cursor or F1..F4 sequence, in CSI and SS3 form alike.
PcKey letter_key(int letter)
{
    switch (letter) {
    case 'A': return KEY_UP;
    case 'B': return KEY_DOWN;
    case 'C': return KEY_RIGHT;
    case 'D': return KEY_LEFT;
    case 'H': return KEY_HOME;
    case 'F': return KEY_END;
    case 'P': return KEY_F1;
    case 'Q': return KEY_F2;
    case 'R': return KEY_F3;
    case 'S': return KEY_F4;
    default: return KEY_NONE;
    }
}

// rxvt sends its cursor keys with Shift (after CSI) and Ctrl (after SS3) as a to d.
constexpr PcKey RXVT_CURSOR_KEYS[] = {KEY_UP, KEY_DOWN, KEY_RIGHT, KEY_LEFT};

// The number in "CSI n ~" (and rxvt's "CSI n $", "CSI n ^", "CSI n @").
PcKey tilde_key(int number)
{
    switch (number) {
    case 1: case 7: return KEY_HOME;
    case 2: return KEY_INSERT;
    case 3: return KEY_DELETE;
    case 4: case 8: return KEY_END;
    case 5: return KEY_PGUP;
    case 6: return KEY_PGDN;
    case 11: return KEY_F1;
    case 12: return KEY_F2;
    case 13: return KEY_F3;
    case 14: return KEY_F4;
    case 15: return KEY_F5;
    case 17: return KEY_F6;
    case 18: return KEY_F7;
    case 19: return KEY_F8;
    case 20: return KEY_F9;
    case 21: return KEY_F10;
    case 23: return KEY_F11;
    case 24: return KEY_F12;
    default: return KEY_NONE;
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

// Up to three fields parted by ';'. kitty's protocol parts each into sub-fields with ':': the key,
// its shifted key and its base-layout key; the modifiers and the event type; the code points of
// the text the key types, as many as it has.
constexpr int FIELDS = 3;
constexpr int SUBFIELDS[FIELDS] = {3, 2, INT_MAX};
constexpr int KEPT_SUBFIELDS = 3;

// Where a sub-field's number is kept. Only the text's first code point is used: those from its
// third on share the last slot, each read over the one before.
int slot(int sub) { return sub < KEPT_SUBFIELDS ? sub : KEPT_SUBFIELDS - 1; }

// kitty's event types; a sequence without one is a press.
constexpr int EVENT_PRESS = 1;
constexpr int EVENT_REPEAT = 2;

struct Parameters {
    bool valid;       // digits, ';' and ':' where keys put them; anything else belongs to no key
    int count;        // fields given
    int first;        // the key's number, -1 when absent
    bool alternates;  // the key's number has sub-fields, which only CSI u gives
    int shifted;      // the key with Shift as kitty tells it, -1 when absent
    int modifiers;    // xterm bits, 0 when absent
    int event;        // EVENT_PRESS when absent
    int third;        // modifyOtherKeys' character, or the first code point of kitty's text; -1 when absent
};

Parameters read_parameters(const unsigned char* bytes, int length)
{
    constexpr Parameters INVALID = {false, 0, -1, false, -1, 0, EVENT_PRESS, -1};
    int values[FIELDS][KEPT_SUBFIELDS] = {{-1, -1, -1}, {-1, -1, -1}, {-1, -1, -1}};
    int field = 0;
    int sub = 0;
    bool alternates = false;
    for (int i = 0; i < length; ++i) {
        int& value = values[field][slot(sub)];
        if (bytes[i] == ';' && field < FIELDS - 1) {
            ++field;
            sub = 0;
        } else if (bytes[i] == ':' && sub < SUBFIELDS[field] - 1) {
            alternates = alternates || field == 0;
            ++sub;
            values[field][slot(sub)] = -1;
        } else if (bytes[i] >= '0' && bytes[i] <= '9' && value < 1000000) {
            value = (value < 0 ? 0 : value * 10) + (bytes[i] - '0');
        } else {
            return INVALID;
        }
    }
    Parameters p = {true, length == 0 ? 0 : field + 1, values[0][0], alternates, values[0][1], 0, 0, values[2][0]};
    p.modifiers = values[1][0] > 1 ? values[1][0] - 1 : 0;
    p.event = values[1][1] < 0 ? EVENT_PRESS : values[1][1];
    return p;
}

// The keypad as kitty's keyboard protocol names it, from its 0 key on: the characters it types,
// then right after them (from 57417) its cursor keys, which it sends with Num Lock off.
constexpr char KITTY_KEYPAD[] = "0123456789./*-+\r=,";
constexpr long KITTY_KEYPAD_FIRST = 57399;
constexpr long KITTY_KEYPAD_CURSOR_FIRST = KITTY_KEYPAD_FIRST + static_cast<long>(sizeof KITTY_KEYPAD) - 1;
constexpr PcKey KITTY_KEYPAD_CURSOR_KEYS[] = {KEY_LEFT, KEY_RIGHT, KEY_UP,  KEY_DOWN,   KEY_PGUP,
                                              KEY_PGDN, KEY_HOME,  KEY_END, KEY_INSERT, KEY_DELETE};
constexpr long KITTY_KEYPAD_END = KITTY_KEYPAD_CURSOR_FIRST + static_cast<long>(std::size(KITTY_KEYPAD_CURSOR_KEYS));
// Where that protocol's keys without a character lie (Unicode's private use area).
constexpr long PRIVATE_USE_FIRST = 0xE000;
constexpr long PRIVATE_USE_LAST = 0xF8FF;
// Halves of UTF-16 pairs, no characters of their own.
constexpr long SURROGATE_FIRST = 0xD800;
constexpr long SURROGATE_LAST = 0xDFFF;
// The protocol also reports Caps Lock among the modifiers.
constexpr int MOD_CAPS_LOCK = 64;

bool ascii_letter(long code) { return (code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z'); }

// A character key as terminals report it with its modifiers (CSI u, modifyOtherKeys): Alt adds
// nothing, Shift makes a letter upper case, Caps Lock then turns a letter's case over (so with
// Shift it is lower case again), and Ctrl makes the control code the PC gives.
Found character_key(int consumed, long code, int modifiers)
{
    if (code <= 0 || code > 0x10FFFF || (code >= PRIVATE_USE_FIRST && code <= PRIVATE_USE_LAST) ||
        (code >= SURROGATE_FIRST && code <= SURROGATE_LAST)) {
        return nothing(consumed);
    }
    if ((modifiers & MOD_SHIFT) != 0 && code >= 'a' && code <= 'z') {
        code -= 'a' - 'A';
    }
    if ((modifiers & MOD_CAPS_LOCK) != 0 && ascii_letter(code)) {
        code ^= 'a' - 'A';
    }
    if ((modifiers & MOD_CTRL) != 0 && ((code >= '@' && code <= '_') || (code >= 'a' && code <= 'z'))) {
        code &= 0x1F;  // Ctrl+C is 3, Ctrl+\\ 28, Ctrl+Z 26
    } else if ((modifiers & MOD_CTRL) != 0 && code == '?') {
        code = 127;
    } else if ((modifiers & MOD_CTRL) != 0 && code == ' ') {
        code = 0;
    }
    // Ctrl+@ and Ctrl+Space: no character, and 0 would pose as a prefix.
    return code == 0 ? nothing(consumed) : character(consumed, character_code(static_cast<unsigned long>(code)));
}

// A key in kitty's CSI u form. The keypad's keys have numbers of their own, whatever the layout.
// Otherwise what the key typed is best told by its text, when the terminal sends it (flag 16): it
// has Shift, Caps Lock and the keyboard's layout applied already (Shift+1 is "!" on most
// layouts, but no rule here could know that); only Ctrl is left to make its control code. A
// text of several code points (a letter and its accent) is one key press, its first. Without a
// text, the shifted key (flag 4) is what Shift makes of the key on this layout. The base-layout
// key names the key on a US keyboard, not what it types, and is not read.
Found kitty_key(int consumed, const Parameters& p)
{
    if (p.first >= KITTY_KEYPAD_FIRST && p.first < KITTY_KEYPAD_CURSOR_FIRST) {
        return character(consumed, KITTY_KEYPAD[p.first - KITTY_KEYPAD_FIRST]);
    }
    if (p.first >= KITTY_KEYPAD_CURSOR_FIRST && p.first < KITTY_KEYPAD_END) {
        return keypad_key(consumed, KITTY_KEYPAD_CURSOR_KEYS[p.first - KITTY_KEYPAD_CURSOR_FIRST], p.modifiers);
    }
    if (p.third >= 0) {
        return character_key(consumed, p.third, p.modifiers & MOD_CTRL);
    }
    if (p.shifted >= 0 && (p.modifiers & MOD_SHIFT) != 0) {
        return character_key(consumed, p.shifted, p.modifiers & ~MOD_SHIFT);
    }
    return character_key(consumed, p.first, p.modifiers);
}

// A key is typed when pressed and again on each repeat, not when let go; an event type the
// protocol does not name is taken for no key.
bool pressed(const Parameters& p) { return p.event == EVENT_PRESS || p.event == EVENT_REPEAT; }

// rxvt and the Linux console send Shift+F3 to Shift+F10 as the VT220's F13 to F20.
PcKey shifted_tilde_key(int number)
{
    switch (number) {
    case 25: return KEY_F3;
    case 26: return KEY_F4;
    case 28: return KEY_F5;
    case 29: return KEY_F6;
    case 31: return KEY_F7;
    case 32: return KEY_F8;
    case 33: return KEY_F9;
    case 34: return KEY_F10;
    default: return KEY_NONE;
    }
}

Found decode_tilde(int consumed, const Parameters& p, int modifiers)
{
    const PcKey shifted = shifted_tilde_key(p.first);
    if (shifted != KEY_NONE) {
        return pc_key(consumed, shifted, modifiers | MOD_SHIFT);
    }
    return pc_key(consumed, tilde_key(p.first), modifiers);
}

Found decode_csi_final(int consumed, const unsigned char* parameters, int length, int final_byte)
{
    const Parameters p = read_parameters(parameters, length);
    if (!p.valid || !pressed(p)) {
        return nothing(consumed);  // a terminal's report or a private sequence, or a key let go
    }
    if (final_byte == 'u') {
        return kitty_key(consumed, p);
    }
    if (p.alternates) {
        return nothing(consumed);
    }
    const int modifiers = p.modifiers;
    // xterm's modifyOtherKeys: CSI 27 ; modifiers ; character ~. Nothing else has three numbers.
    if (p.count == 3) {
        return final_byte == '~' && p.first == 27 ? character_key(consumed, p.third, modifiers) : nothing(consumed);
    }
    switch (final_byte) {
    case '~': return decode_tilde(consumed, p, modifiers);
    case '$': return decode_tilde(consumed, p, modifiers | MOD_SHIFT);
    case '^': return decode_tilde(consumed, p, modifiers | MOD_CTRL);
    case '@': return decode_tilde(consumed, p, modifiers | MOD_CTRL | MOD_SHIFT);
    case 'Z': return p.count == 0 ? character(consumed, '\t') : nothing(consumed);  // Shift+Tab types a tab, as on the PC
    default: break;
    }
    // rxvt's Shift+cursor keys: a bare lower-case letter (with parameters it is something else).
    if (final_byte >= 'a' && final_byte <= 'd') {
        return pc_key(consumed, p.count == 0 ? RXVT_CURSOR_KEYS[final_byte - 'a'] : KEY_NONE, modifiers | MOD_SHIFT);
    }
    // Cursor keys and F1..F4 carry the modifier second ("1;5"), or, in xterm's older form, alone.
    if (p.count == 2 && p.first != 1) {
        return nothing(consumed);
    }
    const int lone_modifier = p.count == 1 && p.first > 1 ? p.first - 1 : 0;
    return pc_key(consumed, letter_key(final_byte), modifiers | lone_modifier);
}

// The forms of "parameters, then a final byte" that keys are sent in.
enum class Form {
    CSI,          // ESC [: parameter bytes, intermediate bytes, a final byte; rxvt ends on '$' too
    CSI_PRIVATE,  // ESC [ with a private marker (a terminal's report): '$' is no end
    SS3,          // ESC O: digits and ';' at most, then the final byte
};

enum class Scanned { FINAL, BROKEN, UNFINISHED, TOO_LONG };

struct Scan {
    Scanned how;
    int at;              // the final byte's index, the byte that broke the sequence, or length
    bool intermediates;  // no key has them, but the sequence goes on to its final byte
};

// Scans from bytes[2], after ESC and the form's letter. A control byte cannot be inside a
// sequence; past MAX_KEY_BYTES no key can be.
Scan scan_sequence(const unsigned char* bytes, int length, Form form)
{
    bool intermediates = false;
    for (int i = 2; i < length; ++i) {
        const int byte = bytes[i];
        if (i >= MAX_KEY_BYTES) {
            return {Scanned::TOO_LONG, i, intermediates};
        }
        const bool parameter = form == Form::SS3 ? (byte >= '0' && byte <= '9') || byte == ';'
                                                 : byte >= 0x30 && byte <= 0x3F && !intermediates;
        if (parameter) {
            continue;
        }
        if (byte == '$' && form == Form::CSI && !intermediates) {
            return {Scanned::FINAL, i, false};  // rxvt's Shift
        }
        if (byte >= 0x20 && byte <= 0x3F && form != Form::SS3) {
            intermediates = true;
            continue;
        }
        return {byte >= 0x40 && byte <= 0x7E ? Scanned::FINAL : Scanned::BROKEN, i, intermediates};
    }
    return {Scanned::UNFINISHED, length, intermediates};
}

// A sequence that reached no final byte: broken, no key so far; too long for any key, no key to
// its end, however far; cut short, not complete yet, or no key once nothing more can come; ESC
// and a letter with nothing after it, Alt with that letter.
Found not_final(const Scan& scan, const unsigned char* bytes, int length, bool more_may_follow)
{
    switch (scan.how) {
    case Scanned::BROKEN:
        return nothing(scan.at);
    case Scanned::TOO_LONG:
        return goes_on(scan.at, REPORT_GOES_ON);
    default:
        break;
    }
    if (more_may_follow) {
        return need_more();
    }
    return length == 2 ? character(2, bytes[1]) : nothing(length);
}

// Two terminals put a letter right after ESC [: the Linux console its F1..F5 (ESC [ [ A ..
// ESC [ [ E), and qterminal its keypad 5 with Num Lock off (ESC [ O E, an SS3 key's capital
// behind ESC [). The same ESC [ O alone is a terminal's report that the window lost the focus.
Found decode_csi_letter(const unsigned char* bytes, int length, bool more_may_follow)
{
    if (length == 3) {
        return more_may_follow ? need_more() : nothing(3);
    }
    const int letter = bytes[3];
    if (bytes[2] == 'O') {
        return nothing(letter >= 'A' && letter <= 'Z' ? 4 : 3);
    }
    return pc_key(4, letter >= 'A' && letter <= 'E' ? static_cast<PcKey>(KEY_F1 + (letter - 'A')) : KEY_NONE, 0);
}

// An X10 mouse report, left on by another program: ESC [ M and three bytes of any value.
constexpr int X10_MOUSE_REPORT = 6;

// bytes[0..1] is ESC [.
Found decode_csi(const unsigned char* bytes, int length, bool more_may_follow)
{
    if (length >= 3 && (bytes[2] == '[' || bytes[2] == 'O')) {
        return decode_csi_letter(bytes, length, more_may_follow);
    }
    if (length >= 3 && bytes[2] == 'M') {
        if (length >= X10_MOUSE_REPORT) {
            return nothing(X10_MOUSE_REPORT);
        }
        return more_may_follow ? need_more() : nothing(length);
    }
    // A private marker begins a terminal's report, which no key sends.
    const bool private_marker = length > 2 && bytes[2] >= '<' && bytes[2] <= '?';
    const Scan scan = scan_sequence(bytes, length, private_marker ? Form::CSI_PRIVATE : Form::CSI);
    if (scan.how != Scanned::FINAL) {
        return not_final(scan, bytes, length, more_may_follow);
    }
    if (private_marker || scan.intermediates) {
        return nothing(scan.at + 1);
    }
    return decode_csi_final(scan.at + 1, bytes + 2, scan.at - 2, bytes[scan.at]);
}

// A control string (DCS, OSC, SOS, PM, APC: ESC and P, ], X, ^ or _) is a terminal's answer or
// report, never a key, to its terminator: ST (ESC \) or BEL; CAN and SUB cancel it, and an ESC
// that begins anything else ends it and begins what follows. However long, it is read on to its
// end. ESC and the letter with nothing after them are Alt with that letter.
Found decode_control_string(const unsigned char* bytes, int length, bool more_may_follow)
{
    for (int i = 2; i < length; ++i) {
        if (i >= MAX_KEY_BYTES) {
            return goes_on(i, STRING_GOES_ON);
        }
        const int byte = bytes[i];
        if (byte == BEL || byte == CAN || byte == SUB) {
            return nothing(i + 1);
        }
        if (byte == ESC && i + 1 < length) {
            return nothing(bytes[i + 1] == '\\' ? i + 2 : i);
        }
    }
    if (more_may_follow) {
        return need_more();
    }
    return length == 2 ? character(2, bytes[1]) : nothing(length);
}

// bytes[0..1] is ESC O.
Found decode_ss3(const unsigned char* bytes, int length, bool more_may_follow)
{
    const Scan scan = scan_sequence(bytes, length, Form::SS3);
    if (scan.how != Scanned::FINAL) {
        return not_final(scan, bytes, length, more_may_follow);
    }
    const int consumed = scan.at + 1;
    const int final_byte = bytes[scan.at];
    const Parameters p = read_parameters(bytes + 2, scan.at - 2);
    if (!p.valid || p.count > 2) {
        return nothing(consumed);
    }
    // Some terminals put a modifier here: a lone number is the modifier ("ESC O 5 P"); "1;5"
    // has it second.
    const int modifiers = (p.modifiers != 0 ? p.modifiers : (p.first > 1 ? p.first - 1 : 0));
    if (final_byte >= 'a' && final_byte <= 'd') {
        return pc_key(consumed, RXVT_CURSOR_KEYS[final_byte - 'a'], modifiers | MOD_CTRL);
    }
    const PcKey key = letter_key(final_byte);
    if (key != KEY_NONE) {
        return pc_key(consumed, key, modifiers);
    }
    const int typed = keypad_character(final_byte);
    return typed != 0 ? character(consumed, typed) : nothing(consumed);
}

int utf8_length(int lead)
{
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

// One character, whatever its length in UTF-8, is one key press and one code.
Found decode_character(const unsigned char* bytes, int length, bool more_may_follow)
{
    const int lead = bytes[0];
    if (lead == 0) {
        return nothing(1);  // Ctrl+Space: no character, and 0 would pose as a prefix
    }
    const int needed = utf8_length(lead);
    if (needed == 1) {
        return character(1, lead);
    }
    long code_point = lead & (0x3F >> (needed - 1));
    int have = 1;
    for (; have < needed && have < length; ++have) {
        if ((bytes[have] & 0xC0) != 0x80) {
            // Broken: the lead byte alone, as in a Latin-1 terminal, and what follows is keys of its own.
            return character(1, lead);
        }
        code_point = (code_point << 6) | (bytes[have] & 0x3F);
    }
    if (have < needed) {
        return more_may_follow ? need_more() : character(1, lead);
    }
    // A character spelt with more bytes than it needs ("overlong") is no character at all, and
    // must not pass for a letter or for a prefix.
    return character(have, code_point >= 0x80 ? character_code(static_cast<unsigned long>(code_point)) : lead);
}

// Alt before a key: ESC, then the key's own bytes. Before a sequence too long for any key, the
// ESC is no key either.
Found with_alt(Found key)
{
    if (key.goes_on != nullptr) {
        return nothing(1);
    }
    if (key.consumed > 0) {
        key.consumed += 1;
        key.modifiers |= MOD_ALT;
    }
    return key;
}

Found find_key(const unsigned char* bytes, int length, bool more_may_follow)
{
    if (bytes[0] != ESC) {
        return decode_character(bytes, length, more_may_follow);
    }
    if (length == 1) {
        return more_may_follow ? need_more() : character(1, ESC);
    }
    switch (bytes[1]) {
    case '[':
        return decode_csi(bytes, length, more_may_follow);
    case 'O':
        return decode_ss3(bytes, length, more_may_follow);
    case 'P':
    case ']':
    case 'X':
    case '^':
    case '_':
        return decode_control_string(bytes, length, more_may_follow);
    case ESC:
        // Alt before a cursor or function key. Otherwise Escape was pressed, and what follows
        // is a key of its own; ESC ESC [ with nothing after it is Escape, then Alt+[. Escape
        // just before a terminal's report is Escape too: no key has a private marker.
        if (length > 3 && bytes[2] == '[' && bytes[3] >= '<' && bytes[3] <= '?') {
            return character(1, ESC);
        }
        if ((length > 3 || (length == 3 && more_may_follow)) && (bytes[2] == '[' || bytes[2] == 'O')) {
            return with_alt(find_key(bytes + 1, length - 1, more_may_follow));
        }
        return length == 2 && more_may_follow ? need_more() : character(1, ESC);
    default:
        // Alt with a character key: the character.
        return with_alt(decode_character(bytes + 1, length - 1, more_may_follow));
    }
}

} // namespace

KeyPress decode_key(const unsigned char* bytes, int length, bool more_may_follow)
{
    if (length <= 0) {
        return {0, NO_KEY, nullptr};
    }
    const Found found = find_key(bytes, length, more_may_follow);
    if (found.key != KEY_NONE) {
        return {found.consumed, pc_key_codes(found.key, found.modifiers, found.on_keypad), nullptr};
    }
    if (found.character != 0) {
        return {found.consumed, {1, {found.character, 0}}, nullptr};
    }
    return {found.consumed, NO_KEY, found.goes_on};
}
