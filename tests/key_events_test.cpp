// Key events of the Windows console, as the console reports them, and the codes the game gets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "console/windows/key_events.h"

namespace {

// Control key states, by the console's values.
constexpr unsigned long RIGHT_ALT = 0x0001;
constexpr unsigned long LEFT_ALT = 0x0002;
constexpr unsigned long RIGHT_CTRL = 0x0004;
constexpr unsigned long LEFT_CTRL = 0x0008;
constexpr unsigned long SHIFT = 0x0010;
constexpr unsigned long NUM_LOCK_ON = 0x0020;
constexpr unsigned long CAPS_LOCK_ON = 0x0080;
constexpr unsigned long ENHANCED = 0x0100;

constexpr bool RELEASED = false;

struct Case {
    const char* what;
    int virtual_key;
    unsigned long state;
    unsigned int character;  // UTF-16
    std::vector<int> codes;
    bool key_down = true;
    bool after_alt_digits = false;  // keypad digits were typed with Alt held just before
};

class KeyEvents : public ::testing::TestWithParam<Case> {};

TEST_P(KeyEvents, Translate)
{
    const Case& c = GetParam();
    KeyEventState state;
    if (c.after_alt_digits) {
        translate_key_event(state, true, 0x2D, LEFT_ALT, 0);  // keypad Insert, the digit 0
    }
    const KeyCodes key = translate_key_event(state, c.key_down, c.virtual_key, c.state, c.character);
    EXPECT_EQ(std::vector<int>(key.codes, key.codes + key.count), c.codes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Characters, KeyEvents,
    ::testing::Values(Case{"letter", 0x48, 0, 'h', {'h'}},
                      Case{"capital with Shift and Caps Lock", 0x48, SHIFT | CAPS_LOCK_ON, 'H', {'H'}},
                      Case{"Enter", 0x0D, 0, 13, {13}}, Case{"Escape", 0x1B, 0, 27, {27}},
                      Case{"Backspace", 0x08, 0, 8, {8}}, Case{"Ctrl+C", 0x43, LEFT_CTRL, 3, {3}},
                      Case{"e grave keeps its Latin-1 code", 0xDE, 0, 0xE8, {0xE8}},
                      Case{"y diaeresis, the last of Latin-1", 0xDE, SHIFT, 0xFF, {0xFF}},
                      Case{"Alt with a letter", 0x41, LEFT_ALT, 'a', {'a'}},
                      Case{"AltGr character", 0x51, RIGHT_ALT | LEFT_CTRL, '@', {'@'}},
                      Case{"keypad digit with Num Lock on", 0x64, NUM_LOCK_ON, '4', {'4'}}),
    case_name<Case>);

// Beyond Latin-1, one code per character whatever its length: the first byte of its UTF-8 form,
// as the POSIX terminal reader gives it. A character beyond 16 bits comes in two events, one for
// each half of its UTF-16 pair; the first half gives the code, the second nothing.
INSTANTIATE_TEST_SUITE_P(
    BeyondLatin1, KeyEvents,
    ::testing::Values(Case{"a with ogonek, first after Latin-1", 0x41, RIGHT_ALT | LEFT_CTRL, 0x0105, {0xC4}},
                      Case{"last of two UTF-8 bytes", 0xE7, 0, 0x07FF, {0xDF}},
                      Case{"euro sign", 0x45, RIGHT_ALT | LEFT_CTRL, 0x20AC, {0xE2}},
                      Case{"first of three UTF-8 bytes", 0xE7, 0, 0x0800, {0xE0}},
                      Case{"hiragana a", 0xE7, 0, 0x3042, {0xE3}},
                      Case{"last below the UTF-16 pairs", 0xE7, 0, 0xD7FF, {0xED}},
                      Case{"after the UTF-16 pairs", 0xE7, 0, 0xE000, {0xEE}},
                      Case{"first half of the first pair", 0xE7, 0, 0xD800, {0xF0}},
                      Case{"first half of an emoji", 0xE7, 0, 0xD83D, {0xF0}},
                      Case{"first half of the last plane", 0xE7, 0, 0xDBC0, {0xF4}},
                      Case{"second half of a pair", 0xE7, 0, 0xDE00, {}},
                      Case{"last second half", 0xE7, 0, 0xDFFF, {}}),
    case_name<Case>);

// Releases are no key presses, save the release of Alt that carries a character made with Alt
// and the keypad's digits; the digits themselves give nothing.
INSTANTIATE_TEST_SUITE_P(
    AltAndKeypad, KeyEvents,
    ::testing::Values(Case{"release of a letter", 0x48, 0, 'h', {}, RELEASED},
                      Case{"release of Up", 0x26, ENHANCED, 0, {}, RELEASED},
                      Case{"release of Alt alone", 0x12, 0, 0, {}, RELEASED},
                      Case{"release of Alt with a character", 0x12, NUM_LOCK_ON, 0xA9, {0xA9}, RELEASED, true},
                      Case{"release of Alt with a letter", 0x12, 0, 'h', {'h'}, RELEASED, true},
                      Case{"release of Alt beyond Latin-1", 0x12, 0, 0x0105, {0xC4}, RELEASED, true},
                      Case{"release of Alt after Alt+a, in Wine", 0x12, 0, 'a', {}, RELEASED},
                      Case{"release of Ctrl with a character", 0x11, 0, 0xA9, {}, RELEASED},
                      Case{"Alt+keypad 0 with Num Lock on", 0x60, LEFT_ALT | NUM_LOCK_ON, 0, {}},
                      Case{"Alt+keypad 9 with Num Lock on and a digit", 0x69, LEFT_ALT | NUM_LOCK_ON, '9', {}},
                      Case{"Alt+keypad Insert is 0", 0x2D, LEFT_ALT, 0, {}},
                      Case{"Alt+keypad Down is 2", 0x28, LEFT_ALT, 0, {}},
                      Case{"Alt+keypad Clear is 5", 0x0C, LEFT_ALT, 0, {}},
                      Case{"right Alt+keypad PgUp is 9", 0x21, RIGHT_ALT, 0, {}},
                      Case{"Alt+Down of the cursor block", 0x28, ENHANCED | LEFT_ALT, 0, {0, 160}},
                      Case{"Alt+Insert of the cursor block", 0x2D, ENHANCED | LEFT_ALT, 0, {0, 162}},
                      Case{"Alt+digit of the main keys", 0x32, LEFT_ALT, '2', {'2'}}),
    case_name<Case>);

// Events in a row, each a press or a release, and the codes they give together: a character
// made with Alt and the keypad comes once, with the next release of Alt after its digits, and
// any other key press in between ends it unmade.
struct Event {
    bool key_down;
    int virtual_key;
    unsigned long state;
    unsigned int character;
};

constexpr Event ALT_DOWN = {true, 0x12, LEFT_ALT, 0};
constexpr Event KEYPAD_1_WITH_ALT = {true, 0x61, LEFT_ALT | NUM_LOCK_ON, 0};
constexpr Event KEYPAD_1_RELEASED = {false, 0x61, LEFT_ALT | NUM_LOCK_ON, 0};
constexpr Event KEYPAD_END_WITH_ALT = {true, 0x23, LEFT_ALT, 0};  // 1, Num Lock off
constexpr Event A_WITH_ALT = {true, 0x41, LEFT_ALT, 'a'};

Event alt_released(unsigned int character) { return {false, 0x12, NUM_LOCK_ON, character}; }

struct Sequence {
    const char* what;
    std::vector<Event> events;
    std::vector<int> codes;
};

class AltAndKeypadInARow : public ::testing::TestWithParam<Sequence> {};

TEST_P(AltAndKeypadInARow, Translate)
{
    const Sequence& sequence = GetParam();
    KeyEventState state;
    std::vector<int> codes;
    for (const Event& event : sequence.events) {
        const KeyCodes key =
            translate_key_event(state, event.key_down, event.virtual_key, event.state, event.character);
        codes.insert(codes.end(), key.codes, key.codes + key.count);
    }
    EXPECT_EQ(codes, sequence.codes);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, AltAndKeypadInARow,
    ::testing::Values(
        Sequence{"digits then Alt released",
                 {ALT_DOWN, KEYPAD_1_WITH_ALT, KEYPAD_1_RELEASED, KEYPAD_END_WITH_ALT, alt_released(0xA9)},
                 {0xA9}},
        Sequence{"a second release of Alt carries nothing",
                 {ALT_DOWN, KEYPAD_1_WITH_ALT, alt_released(0xA9), A_WITH_ALT, alt_released('a')},
                 {0xA9, 'a'}},
        Sequence{"Alt+letter after an entry whose release was lost",
                 {ALT_DOWN, KEYPAD_1_WITH_ALT, KEYPAD_1_RELEASED, ALT_DOWN, A_WITH_ALT, alt_released('a')},
                 {'a'}},
        Sequence{"letter after an entry whose release was lost",
                 {ALT_DOWN, KEYPAD_1_WITH_ALT, {true, 0x48, 0, 'h'}, alt_released('h')},
                 {'h'}},
        Sequence{"keypad digit without Alt after an entry whose release was lost",
                 {ALT_DOWN, KEYPAD_1_WITH_ALT, {true, 0x64, NUM_LOCK_ON, '4'}, alt_released('4')},
                 {'4'}},
        Sequence{"Up of the cursor block after an entry whose release was lost",
                 {ALT_DOWN, KEYPAD_1_WITH_ALT, {true, 0x26, ENHANCED | LEFT_ALT, 0}, alt_released(0xA9)},
                 {0, 152}},
        Sequence{"releases of other keys keep the entry going",
                 {ALT_DOWN, KEYPAD_1_WITH_ALT, {false, 0x48, LEFT_ALT, 'h'}, KEYPAD_END_WITH_ALT,
                  alt_released(0xA9)},
                 {0xA9}}),
    case_name<Sequence>);

// Every key of the table with no modifier: the virtual key codes and the prefixes.
INSTANTIATE_TEST_SUITE_P(
    PlainKeys, KeyEvents,
    ::testing::Values(Case{"F1", 0x70, 0, 0, {0, 59}}, Case{"F2", 0x71, 0, 0, {0, 60}},
                      Case{"F3", 0x72, 0, 0, {0, 61}}, Case{"F4", 0x73, 0, 0, {0, 62}},
                      Case{"F5", 0x74, 0, 0, {0, 63}}, Case{"F6", 0x75, 0, 0, {0, 64}},
                      Case{"F7", 0x76, 0, 0, {0, 65}}, Case{"F8", 0x77, 0, 0, {0, 66}},
                      Case{"F9", 0x78, 0, 0, {0, 67}}, Case{"F10", 0x79, 0, 0, {0, 68}},
                      Case{"F11", 0x7A, 0, 0, {224, 133}}, Case{"F12", 0x7B, 0, 0, {224, 134}},
                      Case{"Home", 0x24, ENHANCED, 0, {224, 71}}, Case{"Up", 0x26, ENHANCED, 0, {224, 72}},
                      Case{"PgUp", 0x21, ENHANCED, 0, {224, 73}}, Case{"Left", 0x25, ENHANCED, 0, {224, 75}},
                      Case{"Right", 0x27, ENHANCED, 0, {224, 77}}, Case{"End", 0x23, ENHANCED, 0, {224, 79}},
                      Case{"Down", 0x28, ENHANCED, 0, {224, 80}}, Case{"PgDn", 0x22, ENHANCED, 0, {224, 81}},
                      Case{"Insert", 0x2D, ENHANCED, 0, {224, 82}},
                      Case{"Delete", 0x2E, ENHANCED, 0, {224, 83}}),
    case_name<Case>);

INSTANTIATE_TEST_SUITE_P(
    KeypadAndModifiers, KeyEvents,
    ::testing::Values(Case{"keypad Up with Num Lock off", 0x26, 0, 0, {0, 72}},
                      Case{"keypad Delete with Num Lock off", 0x2E, 0, 0, {0, 83}},
                      Case{"keypad Home with Shift over Num Lock", 0x24, NUM_LOCK_ON | SHIFT, 0, {0, 71}},
                      Case{"Shift+Up", 0x26, ENHANCED | SHIFT, 0, {224, 72}},
                      Case{"Ctrl+Up", 0x26, ENHANCED | LEFT_CTRL, 0, {224, 141}},
                      Case{"right Ctrl+PgDn", 0x22, ENHANCED | RIGHT_CTRL, 0, {224, 118}},
                      Case{"Alt+Home takes prefix 0", 0x24, ENHANCED | LEFT_ALT, 0, {0, 151}},
                      Case{"right Alt+Delete", 0x2E, ENHANCED | RIGHT_ALT, 0, {0, 163}},
                      Case{"Shift+F5", 0x74, SHIFT, 0, {0, 88}}, Case{"Ctrl+F4", 0x73, LEFT_CTRL, 0, {0, 97}},
                      Case{"Ctrl+F10", 0x79, RIGHT_CTRL, 0, {0, 103}},
                      Case{"Alt+F1", 0x70, LEFT_ALT, 0, {0, 104}},
                      Case{"Alt+F11 keeps prefix 224", 0x7A, RIGHT_ALT, 0, {224, 139}},
                      Case{"Shift+F12", 0x7B, SHIFT, 0, {224, 136}},
                      Case{"Alt wins over Ctrl and Shift", 0x76, LEFT_ALT | LEFT_CTRL | SHIFT, 0, {0, 110}},
                      Case{"Ctrl wins over Shift", 0x27, ENHANCED | LEFT_CTRL | SHIFT, 0, {224, 116}}),
    case_name<Case>);

// Keys that type nothing and have no pair give the game nothing to read.
INSTANTIATE_TEST_SUITE_P(
    Skipped, KeyEvents,
    ::testing::Values(Case{"Shift alone", 0x10, SHIFT, 0, {}}, Case{"Ctrl alone", 0x11, LEFT_CTRL, 0, {}},
                      Case{"right Ctrl alone", 0x11, RIGHT_CTRL | ENHANCED, 0, {}},
                      Case{"Alt alone", 0x12, LEFT_ALT, 0, {}}, Case{"Caps Lock", 0x14, CAPS_LOCK_ON, 0, {}},
                      Case{"Num Lock", 0x90, NUM_LOCK_ON | ENHANCED, 0, {}},
                      Case{"Scroll Lock", 0x91, 0, 0, {}}, Case{"Windows key", 0x5B, ENHANCED, 0, {}},
                      Case{"keypad 5 with Num Lock off", 0x0C, 0, 0, {}},
                      Case{"Pause", 0x13, 0, 0, {}}),
    case_name<Case>);

} // namespace
