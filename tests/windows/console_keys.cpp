// Key events put into the console's own input while the terminal layer waits for a key, and the
// codes read_key gives for them: the whole read loop, on a real console (under Wine in CI).
//
// Each case's records go in from a second thread once the read loop has switched the input
// mode off, as keys typed while the game waits; after them comes a plain z, so that reading
// stops there even when a case gives fewer codes than expected. Prints one line per case and
// exits with 1 if any case fails.
#include "console/console.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Records = std::vector<INPUT_RECORD>;

struct Case {
    std::string what;
    UINT code_page;  // the console's input code page for the case; 0 leaves it as it is
    Records records;
    std::vector<int> codes;
};

constexpr WORD SENTINEL = 'z';
constexpr DWORD CASE_TIMEOUT_MS = 30000;

// Scan codes of the PC keyboard, for records that look like the keyboard's own.
constexpr WORD SCAN_ESCAPE = 0x01;
constexpr WORD SCAN_CTRL = 0x1D;
constexpr WORD SCAN_SHIFT = 0x2A;
constexpr WORD SCAN_ALT = 0x38;
constexpr WORD SCAN_CAPS_LOCK = 0x3A;
constexpr WORD SCAN_F1 = 0x3B;
constexpr WORD SCAN_F11 = 0x57;
constexpr WORD SCAN_F12 = 0x58;
constexpr WORD SCAN_NUM_LOCK = 0x45;
constexpr WORD SCAN_HOME = 0x47;
constexpr WORD SCAN_UP = 0x48;
constexpr WORD SCAN_PGUP = 0x49;
constexpr WORD SCAN_LEFT = 0x4B;
constexpr WORD SCAN_KEYPAD_5 = 0x4C;
constexpr WORD SCAN_RIGHT = 0x4D;
constexpr WORD SCAN_END = 0x4F;
constexpr WORD SCAN_DOWN = 0x50;
constexpr WORD SCAN_PGDN = 0x51;
constexpr WORD SCAN_INSERT = 0x52;
constexpr WORD SCAN_DELETE = 0x53;
constexpr WORD SCAN_WINDOWS = 0x5B;

INPUT_RECORD key_event(bool down, WORD virtual_key, WORD scan, WCHAR character, DWORD state, WORD repeat = 1)
{
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    key.bKeyDown = down;
    key.wRepeatCount = repeat;
    key.wVirtualKeyCode = virtual_key;
    key.wVirtualScanCode = scan;
    key.uChar.UnicodeChar = character;
    key.dwControlKeyState = state;
    return record;
}

// A key pressed and let go.
Records press(WORD virtual_key, WORD scan, WCHAR character = 0, DWORD state = 0, WORD repeat = 1)
{
    return {key_event(true, virtual_key, scan, character, state, repeat),
            key_event(false, virtual_key, scan, character, state)};
}

// A letter key as the keyboard reports it: the virtual key is the capital letter.
Records letter(char c, DWORD state = 0)
{
    const WORD virtual_key = static_cast<WORD>(c >= 'a' ? c - 'a' + 'A' : c);
    return press(virtual_key, static_cast<WORD>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC)),
                 static_cast<WCHAR>(c), state);
}

// A character that comes with no key of its own, as an input method or a paste sends it.
Records packet(WCHAR character) { return press(VK_PACKET, 0, character); }

// A key held while others are pressed: its press before them, its release after.
Records holding(WORD virtual_key, WORD scan, DWORD state, const Records& inside, WCHAR released_character = 0,
                DWORD state_after = 0)
{
    Records records = {key_event(true, virtual_key, scan, 0, state)};
    records.insert(records.end(), inside.begin(), inside.end());
    records.push_back(key_event(false, virtual_key, scan, released_character, state_after));
    return records;
}

Records operator+(Records first, const Records& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

INPUT_RECORD other_event(WORD type)
{
    INPUT_RECORD record = {};
    record.EventType = type;
    if (type == WINDOW_BUFFER_SIZE_EVENT) {
        record.Event.WindowBufferSizeEvent.dwSize = {80, 24};
    } else if (type == FOCUS_EVENT) {
        record.Event.FocusEvent.bSetFocus = TRUE;
    } else if (type == MOUSE_EVENT) {
        record.Event.MouseEvent.dwButtonState = FROM_LEFT_1ST_BUTTON_PRESSED;
    }
    return record;
}

constexpr DWORD ENHANCED = ENHANCED_KEY;
constexpr DWORD ALTGR = RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED;

// Alt held while digits go in on the numeric keypad (Num Lock off: the keypad's cursor keys),
// and the character those digits stand for, which the console hands over with the release of Alt.
Records alt_numpad(const char* digits, WCHAR character, DWORD lock_state)
{
    struct KeypadKey {
        WORD with_num_lock, without_num_lock, scan;
    };
    static const KeypadKey KEYPAD[] = {
        {VK_NUMPAD0, VK_INSERT, SCAN_INSERT}, {VK_NUMPAD1, VK_END, SCAN_END},
        {VK_NUMPAD2, VK_DOWN, SCAN_DOWN},     {VK_NUMPAD3, VK_NEXT, SCAN_PGDN},
        {VK_NUMPAD4, VK_LEFT, SCAN_LEFT},     {VK_NUMPAD5, VK_CLEAR, SCAN_KEYPAD_5},
        {VK_NUMPAD6, VK_RIGHT, SCAN_RIGHT},   {VK_NUMPAD7, VK_HOME, SCAN_HOME},
        {VK_NUMPAD8, VK_UP, SCAN_UP},         {VK_NUMPAD9, VK_PRIOR, SCAN_PGUP},
    };
    const bool num_lock = (lock_state & NUMLOCK_ON) != 0;
    Records inside;
    for (const char* digit = digits; *digit != '\0'; ++digit) {
        const KeypadKey& key = KEYPAD[*digit - '0'];
        inside = inside + press(num_lock ? key.with_num_lock : key.without_num_lock, key.scan, 0,
                                LEFT_ALT_PRESSED | lock_state);
    }
    return holding(VK_MENU, SCAN_ALT, LEFT_ALT_PRESSED | lock_state, inside, character, lock_state);
}

std::vector<Case> cases()
{
    std::vector<Case> all = {
        // The separate cursor block reports ENHANCED_KEY; the keypad's cursor keys do not.
        {"Up", 0, press(VK_UP, SCAN_UP, 0, ENHANCED), {224, 72}},
        {"Home", 0, press(VK_HOME, SCAN_HOME, 0, ENHANCED), {224, 71}},
        {"PgDn", 0, press(VK_NEXT, SCAN_PGDN, 0, ENHANCED), {224, 81}},
        {"Delete", 0, press(VK_DELETE, SCAN_DELETE, 0, ENHANCED), {224, 83}},
        {"keypad Up, Num Lock off", 0, press(VK_UP, SCAN_UP), {0, 72}},
        {"keypad End, Num Lock off", 0, press(VK_END, SCAN_END), {0, 79}},
        {"keypad 5, Num Lock off", 0, press(VK_CLEAR, SCAN_KEYPAD_5), {}},
        {"keypad 8, Num Lock on", 0, press(VK_NUMPAD8, SCAN_UP, '8', NUMLOCK_ON), {'8'}},
        {"Ctrl+Up", 0, press(VK_UP, SCAN_UP, 0, ENHANCED | LEFT_CTRL_PRESSED), {224, 141}},
        {"Alt+Home", 0, press(VK_HOME, SCAN_HOME, 0, ENHANCED | LEFT_ALT_PRESSED), {0, 151}},
        {"Alt+Down", 0, press(VK_DOWN, SCAN_DOWN, 0, ENHANCED | LEFT_ALT_PRESSED), {0, 160}},
        {"Shift+End", 0, press(VK_END, SCAN_END, 0, ENHANCED | SHIFT_PRESSED), {224, 79}},

        {"F1", 0, press(VK_F1, SCAN_F1), {0, 59}},
        {"F7", 0, press(VK_F7, SCAN_F1 + 6), {0, 65}},
        {"F10", 0, press(VK_F10, SCAN_F1 + 9), {0, 68}},
        {"F11", 0, press(VK_F11, SCAN_F11), {224, 133}},
        {"F12", 0, press(VK_F12, SCAN_F12), {224, 134}},
        {"Shift+F5", 0, press(VK_F5, SCAN_F1 + 4, 0, SHIFT_PRESSED), {0, 88}},
        {"Ctrl+F4", 0, press(VK_F4, SCAN_F1 + 3, 0, LEFT_CTRL_PRESSED), {0, 97}},
        {"right Ctrl+F10", 0, press(VK_F10, SCAN_F1 + 9, 0, RIGHT_CTRL_PRESSED), {0, 103}},
        {"Alt+F3", 0, press(VK_F3, SCAN_F1 + 2, 0, LEFT_ALT_PRESSED), {0, 106}},
        {"Alt+F12", 0, press(VK_F12, SCAN_F12, 0, LEFT_ALT_PRESSED), {224, 140}},

        {"h", 0, letter('h'), {'h'}},
        {"Shift+J", 0, letter('J', SHIFT_PRESSED), {'J'}},
        {"Alt+c gives the letter", 0, letter('c', LEFT_ALT_PRESSED), {'c'}},
        // AltGr is Ctrl and right Alt at once; Italian keyboard: AltGr+ò is @, AltGr+e is €.
        {"AltGr+o-grave gives @", 0,
         holding(VK_CONTROL, SCAN_CTRL, LEFT_CTRL_PRESSED,
                 holding(VK_MENU, SCAN_ALT, ALTGR | ENHANCED,
                         press(VK_OEM_3, 0x27, '@', ALTGR), 0, LEFT_CTRL_PRESSED | ENHANCED)),
         {'@'}},
        {"AltGr+e gives the euro sign", 0, press('E', 0x12, 0x20AC, ALTGR), {0xE2}},
        {"Escape", 0, press(VK_ESCAPE, SCAN_ESCAPE, 27), {27}},
        {"Ctrl+C while a key is awaited", 0,
         holding(VK_CONTROL, SCAN_CTRL, LEFT_CTRL_PRESSED, press('C', 0x2E, 3, LEFT_CTRL_PRESSED)), {3}},
        {"Enter", 0, press(VK_RETURN, 0x1C, '\r'), {13}},

        // A held key: the console merges the repeats not yet read into one event.
        {"x repeated 3 times in one event", 0, press('X', 0x2D, 'x', 0, 3), {'x', 'x', 'x'}},
        {"Up repeated twice in one event", 0, press(VK_UP, SCAN_UP, 0, ENHANCED, 2), {224, 72, 224, 72}},
        {"F7 repeated twice, then h", 0, press(VK_F7, SCAN_F1 + 6, 0, 0, 2) + letter('h'), {0, 65, 0, 65, 'h'}},

        // Alt+0169 is the copyright sign; Alt+261 the Latin a with ogonek, outside Latin-1.
        {"Alt+numpad 0169, Num Lock off", 0, alt_numpad("0169", 0xA9, 0), {0xA9}},
        {"Alt+numpad 0169, Num Lock on", 0, alt_numpad("0169", 0xA9, NUMLOCK_ON), {0xA9}},
        {"Alt+numpad 261, Num Lock off", 0, alt_numpad("261", 0x0105, 0), {0xC4}},
        {"Alt+numpad 104 gives h", 0, alt_numpad("104", 'h', NUMLOCK_ON), {'h'}},
        // Wine's console window puts the letter typed with Alt into Alt's release too, here let
        // go before the letter: one key press.
        {"Alt let go before its letter", 0,
         Records{key_event(true, VK_MENU, SCAN_ALT, 0, LEFT_ALT_PRESSED),
                 key_event(true, 'A', 0x1E, 'a', LEFT_ALT_PRESSED), key_event(false, VK_MENU, SCAN_ALT, 'a', 0),
                 key_event(false, 'A', 0x1E, 'a', 0)} +
             letter('h'),
         {'a', 'h'}},

        {"Shift alone", 0, press(VK_SHIFT, SCAN_SHIFT, 0, SHIFT_PRESSED), {}},
        {"Ctrl alone", 0, press(VK_CONTROL, SCAN_CTRL, 0, LEFT_CTRL_PRESSED), {}},
        {"right Ctrl alone", 0, press(VK_CONTROL, SCAN_CTRL, 0, RIGHT_CTRL_PRESSED | ENHANCED), {}},
        {"Alt alone", 0, press(VK_MENU, SCAN_ALT, 0, LEFT_ALT_PRESSED), {}},
        {"AltGr alone", 0, press(VK_MENU, SCAN_ALT, 0, ALTGR | ENHANCED), {}},
        {"Caps Lock", 0, press(VK_CAPITAL, SCAN_CAPS_LOCK, 0, CAPSLOCK_ON), {}},
        {"Num Lock", 0, press(VK_NUMLOCK, SCAN_NUM_LOCK, 0, NUMLOCK_ON | ENHANCED), {}},
        {"Windows key", 0, press(VK_LWIN, SCAN_WINDOWS, 0, ENHANCED), {}},
        {"mouse, focus and window size", 0,
         {other_event(MOUSE_EVENT), other_event(FOCUS_EVENT), other_event(WINDOW_BUFFER_SIZE_EVENT)}, {}},
    };

    // The same keys on every code page: one code each, the character's own when it is ASCII or
    // Latin-1, else the first byte of its UTF-8 form. The last is a character beyond 16 bits,
    // which comes as two events, one for each half of its UTF-16 pair.
    const Records characters = letter('h') + packet(0xA9) + packet(0x0105) + packet(0x0107) + packet(0xE8) +
                               packet(0x20AC) + packet(0x3042) + packet(0xD55C) + packet(0x4E2D) +
                               packet(0xD83D) + packet(0xDE00);
    const std::vector<int> codes = {'h', 0xA9, 0xC4, 0xC4, 0xE8, 0xE2, 0xE3, 0xED, 0xE4, 0xF0};
    for (const UINT code_page : {437u, 850u, 1252u, 65001u, 932u, 936u, 949u, 950u}) {
        all.push_back({"code page " + std::to_string(code_page), code_page, characters, codes});
    }
    return all;
}

HANDLE input = INVALID_HANDLE_VALUE;
HANDLE case_ready = nullptr;
HANDLE case_read = nullptr;
const Case* current = nullptr;

void write_records(const Records& records)
{
    DWORD written = 0;
    if (!WriteConsoleInputW(input, records.data(), static_cast<DWORD>(records.size()), &written) ||
        written != records.size()) {
        std::printf("FAIL %s: WriteConsoleInputW wrote %lu of %zu events\n", current->what.c_str(),
                    static_cast<unsigned long>(written), records.size());
        std::fflush(stdout);
        ExitProcess(1);
    }
}

// Puts each case's events in while read_key waits, that is once the input mode is off: nothing
// left but the extended flags, which keep QuickEdit off and Insert as it was.
DWORD WINAPI type_cases(void*)
{
    constexpr DWORD EXTENDED_FLAGS = ENABLE_EXTENDED_FLAGS | ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE;
    for (;;) {
        WaitForSingleObject(case_ready, INFINITE);
        DWORD mode = 1;
        const DWORD started = GetTickCount();
        while (GetConsoleMode(input, &mode) && (mode & ~EXTENDED_FLAGS) != 0 &&
               GetTickCount() - started < CASE_TIMEOUT_MS) {
            Sleep(1);
        }
        write_records(current->records + letter(static_cast<char>(SENTINEL)));
        if (WaitForSingleObject(case_read, CASE_TIMEOUT_MS) != WAIT_OBJECT_0) {
            std::printf("FAIL %s: the closing z was never read\n", current->what.c_str());
            std::fflush(stdout);
            ExitProcess(1);
        }
    }
}

std::string listed(const std::vector<int>& codes)
{
    std::string text;
    for (const int code : codes) {
        text += (text.empty() ? "" : " ") + std::to_string(code);
    }
    return text.empty() ? "nothing" : text;
}

} // namespace

int main()
{
    open_console();
    input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    DWORD mode_at_start = 0;
    GetConsoleMode(input, &mode_at_start);
    const UINT code_page_at_start = GetConsoleCP();
    case_ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    case_read = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    CreateThread(nullptr, 0, type_cases, nullptr, 0, nullptr);

    int failed = 0;
    const std::vector<Case> all = cases();
    for (const Case& c : all) {
        if (c.code_page != 0 && !SetConsoleCP(c.code_page)) {
            std::printf("FAIL %s: the console refuses the code page\n", c.what.c_str());
            ++failed;
            continue;
        }
        current = &c;
        SetEvent(case_ready);
        std::vector<int> got;
        for (;;) {
            const int code = read_key();
            if (code == SENTINEL) {
                break;
            }
            got.push_back(code);
        }
        SetEvent(case_read);
        if (c.code_page != 0) {
            SetConsoleCP(code_page_at_start);
        }
        const bool ok = got == c.codes;
        failed += ok ? 0 : 1;
        const std::string expected = ok ? "" : ", expected " + listed(c.codes);
        std::printf("%s %s: %s%s\n", ok ? "ok  " : "FAIL", c.what.c_str(), listed(got).c_str(), expected.c_str());
        std::fflush(stdout);
    }

    DWORD mode_at_end = 0;
    GetConsoleMode(input, &mode_at_end);
    if (mode_at_end != mode_at_start) {
        std::printf("FAIL input mode %#lx at the end, %#lx at the start\n", static_cast<unsigned long>(mode_at_end),
                    static_cast<unsigned long>(mode_at_start));
        ++failed;
    }
    std::printf("%d of %zu cases failed\n", failed, all.size());
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
