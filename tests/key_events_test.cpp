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

struct Case {
    const char* what;
    int virtual_key;
    unsigned long state;
    unsigned char character;
    std::vector<int> codes;
};

// Named in test listings (ctest -N) by what it is, not by its bytes.
void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }

class KeyEvents : public ::testing::TestWithParam<Case> {};

TEST_P(KeyEvents, Translate)
{
    const Case& c = GetParam();
    const KeyCodes key = translate_key_event(c.virtual_key, c.state, c.character);
    EXPECT_EQ(std::vector<int>(key.codes, key.codes + key.count), c.codes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Characters, KeyEvents,
    ::testing::Values(Case{"letter", 0x48, 0, 'h', {'h'}},
                      Case{"capital with Shift and Caps Lock", 0x48, SHIFT | CAPS_LOCK_ON, 'H', {'H'}},
                      Case{"Enter", 0x0D, 0, 13, {13}}, Case{"Escape", 0x1B, 0, 27, {27}},
                      Case{"Backspace", 0x08, 0, 8, {8}}, Case{"Ctrl+C", 0x43, LEFT_CTRL, 3, {3}},
                      Case{"accented letter as an unsigned byte", 0xDE, 0, 0xE8, {232}},
                      Case{"Alt with a letter", 0x41, LEFT_ALT, 'a', {'a'}},
                      Case{"AltGr character", 0x51, RIGHT_ALT | LEFT_CTRL, '@', {'@'}},
                      Case{"keypad digit with Num Lock on", 0x64, NUM_LOCK_ON, '4', {'4'}}),
    case_name<Case>);

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
                      Case{"Alt+keypad Down", 0x28, LEFT_ALT, 0, {0, 154}},
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
