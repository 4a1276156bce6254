// What terminals send for one key press, and the codes the game gets for it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "case_name.h"
#include "console/posix/key_decoder.h"

namespace {

// Feeds the bytes as a terminal would hand them over, all at once, and collects every code. A
// sequence too long to hold loses its middle, as the reader drops it.
std::vector<int> codes_of(std::string bytes)
{
    std::vector<int> codes;
    size_t at = 0;
    while (at < bytes.size()) {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
        const int length = static_cast<int>(bytes.size() - at);
        KeyPress key = decode_key(data, length, true);
        if (key.consumed == 0) {
            key = decode_key(data, length, false);  // nothing more came in time
        }
        EXPECT_GT(key.consumed, 0);
        if (key.consumed <= 0) {
            break;
        }
        if (key.goes_on != nullptr) {
            bytes.replace(at, static_cast<size_t>(key.consumed), key.goes_on);
            continue;
        }
        at += static_cast<size_t>(key.consumed);
        for (int i = 0; i < key.key.count; ++i) {
            codes.push_back(key.key.codes[i]);
        }
    }
    return codes;
}

struct Case {
    const char* what;
    std::string bytes;
    std::vector<int> codes;
};

class Keys : public ::testing::TestWithParam<Case> {};

TEST_P(Keys, Decode) { EXPECT_EQ(codes_of(GetParam().bytes), GetParam().codes) << GetParam().what; }

INSTANTIATE_TEST_SUITE_P(
    Characters, Keys,
    ::testing::Values(Case{"letter", "h", {'h'}}, Case{"digit", "4", {'4'}}, Case{"Enter", "\r", {13}},
                      Case{"Ctrl+C", "\x03", {3}}, Case{"Backspace", "\x7f", {127}},
                      Case{"Ctrl+Space gives nothing", std::string(1, '\0'), {}},
                      Case{"Escape alone", "\x1b", {27}}, Case{"Escape twice", "\x1b\x1b", {27, 27}},
                      Case{"Alt+h", "\x1bh", {'h'}}, Case{"e grave in UTF-8", "\xc3\xa8", {0xE8}},
                      Case{"euro sign is one key", "\xe2\x82\xac", {0xE2}},
                      Case{"stray continuation byte", "\x80", {0x80}},
                      Case{"a grave is 224 on its own", "\xc3\xa0", {0xE0}},
                      Case{"u grave", "\xc3\xb9", {0xF9}},
                      Case{"overlong slash is no slash", "\xc0\xaf", {0xC0, 0xAF}},
                      Case{"overlong A is no letter", "\xe0\x81\x81", {0xE0}},
                      Case{"overlong NUL is no prefix", "\xf0\x80\x80\x80", {0xF0}},
                      Case{"broken character then a letter", "\xc3h", {0xC3, 'h'}},
                      Case{"a paste of several keys", "c7x", {'c', '7', 'x'}}),
    case_name<Case>);

INSTANTIATE_TEST_SUITE_P(
    Xterm, Keys,
    ::testing::Values(Case{"Up", "\x1b[A", {224, 72}}, Case{"Down", "\x1b[B", {224, 80}},
                      Case{"Right", "\x1b[C", {224, 77}}, Case{"Left", "\x1b[D", {224, 75}},
                      Case{"Home", "\x1b[H", {224, 71}}, Case{"End", "\x1b[F", {224, 79}},
                      Case{"Insert", "\x1b[2~", {224, 82}}, Case{"Delete", "\x1b[3~", {224, 83}},
                      Case{"PgUp", "\x1b[5~", {224, 73}}, Case{"PgDn", "\x1b[6~", {224, 81}},
                      Case{"F1", "\x1bOP", {0, 59}}, Case{"F4", "\x1bOS", {0, 62}},
                      Case{"F5", "\x1b[15~", {0, 63}}, Case{"F7", "\x1b[18~", {0, 65}},
                      Case{"F10", "\x1b[21~", {0, 68}}, Case{"F11", "\x1b[23~", {224, 133}},
                      Case{"F12", "\x1b[24~", {224, 134}}, Case{"Ctrl+Up", "\x1b[1;5A", {224, 141}},
                      Case{"Alt+Up", "\x1b[1;3A", {0, 152}}, Case{"Ctrl+F4", "\x1b[1;5S", {0, 97}},
                      Case{"Alt+F1", "\x1b[1;3P", {0, 104}}, Case{"Ctrl+F7", "\x1b[18;5~", {0, 100}},
                      Case{"Shift+F5", "\x1b[15;2~", {0, 88}},
                      Case{"Ctrl+Alt+Shift+F1: Alt wins", "\x1b[1;8P", {0, 104}},
                      Case{"F2", "\x1bOQ", {0, 60}}, Case{"F3", "\x1bOR", {0, 61}},
                      Case{"F6, also the Linux console", "\x1b[17~", {0, 64}}, Case{"F8", "\x1b[19~", {0, 66}},
                      Case{"Alt+Down", "\x1b[1;3B", {0, 160}},
                      Case{"F9", "\x1b[20~", {0, 67}}, Case{"Alt+F3", "\x1b[1;3R", {0, 106}},
                      Case{"Ctrl+F10", "\x1b[21;5~", {0, 103}}, Case{"Shift+F11", "\x1b[23;2~", {224, 135}},
                      Case{"Ctrl+Home", "\x1b[1;5H", {224, 119}}, Case{"Alt+Home", "\x1b[1;3H", {0, 151}},
                      Case{"Ctrl+PgDn", "\x1b[6;5~", {224, 118}}, Case{"Alt+Delete", "\x1b[3;3~", {0, 163}},
                      Case{"Shift+Up is Up", "\x1b[1;2A", {224, 72}},
                      Case{"older xterm Ctrl+Up, modifier alone", "\x1b[5A", {224, 141}},
                      Case{"Up then a letter", "\x1b[Ah", {224, 72, 'h'}}),
    case_name<Case>);

INSTANTIATE_TEST_SUITE_P(
    OtherTerminals, Keys,
    ::testing::Values(Case{"application Up, also PuTTY Ctrl+Up", "\x1bOA", {224, 72}}, Case{"SS3 Home", "\x1bOH", {224, 71}},
                      Case{"VT220 Home", "\x1b[1~", {224, 71}}, Case{"VT220 End, also screen and tmux", "\x1b[4~", {224, 79}},
                      Case{"rxvt Home", "\x1b[7~", {224, 71}}, Case{"rxvt End", "\x1b[8~", {224, 79}},
                      Case{"rxvt and PuTTY F1", "\x1b[11~", {0, 59}}, Case{"rxvt Shift+F7", "\x1b[18$", {0, 90}},
                      Case{"rxvt Ctrl+F7", "\x1b[18^", {0, 100}},
                      Case{"rxvt Shift+Up", "\x1b[a", {224, 72}}, Case{"rxvt Ctrl+Up", "\x1bOa", {224, 141}},
                      Case{"rxvt Alt+Up, also tmux with no extended keys", "\x1b\x1b[A", {0, 152}},
                      Case{"Linux console F1", "\x1b[[A", {0, 59}}, Case{"Linux console F5", "\x1b[[E", {0, 63}},
                      Case{"Linux console Shift+F3", "\x1b[25~", {0, 86}},
                      Case{"rxvt Shift+F9", "\x1b[33~", {0, 92}},
                      Case{"rxvt Shift+F10", "\x1b[34~", {0, 93}},
                      Case{"rxvt Ctrl+Shift+F3: Ctrl wins", "\x1b[25^", {0, 96}},
                      Case{"rxvt Shift+F11", "\x1b[23$", {224, 135}}, Case{"rxvt Ctrl+Home", "\x1b[7^", {224, 119}},
                      Case{"rxvt Ctrl+F4", "\x1b[14^", {0, 97}}, Case{"rxvt Alt+F1", "\x1b\x1b[11~", {0, 104}},
                      Case{"older VTE Ctrl+F1", "\x1bO1;5P", {0, 94}}, Case{"older xterm Ctrl+F1", "\x1bO5P", {0, 94}},
                      Case{"keypad 7 in application mode", "\x1bOw", {'7'}},
                      Case{"keypad Enter", "\x1bOM", {13}}),
    case_name<Case>);

INSTANTIATE_TEST_SUITE_P(
    NoKey, Keys,
    ::testing::Values(Case{"unknown CSI never gives its letter", "\x1b[99X", {}},
                      Case{"unknown tilde number", "\x1b[99~", {}},
                      Case{"unknown CSI then a key", "\x1b[?1;2cJ", {'J'}},
                      Case{"broken sequence", "\x1b[1\x03", {3}},
                      Case{"Alt+[ alone", "\x1b[", {'['}}, Case{"Alt+O alone", "\x1bO", {'O'}},
                      Case{"Escape, then Alt+[ alone", "\x1b\x1b[", {27, '['}},
                      Case{"Escape, then Alt+O alone", "\x1b\x1bO", {27, 'O'}},
                      Case{"Alt+close bracket alone", "\x1b]", {']'}}, Case{"Alt+P alone", "\x1bP", {'P'}},
                      Case{"a report with a private marker", "\x1b[?1;2A", {}},
                      Case{"a terminal's report on a mode, then a key", "\x1b[?1036;2$yJ", {'J'}},
                      Case{"Escape just before a terminal's report", "\x1b\x1b[?1036;1$y", {27}},
                      Case{"intermediate bytes", "\x1b[1 qJ", {'J'}},
                      Case{"three parameters", "\x1b[1;5;3A", {}},
                      Case{"qterminal's keypad 5", "\x1b[OEJ", {'J'}},
                      Case{"focus lost, then a key", "\x1b[Oe", {'e'}},
                      Case{"focus report", "\x1b[I", {}},
                      Case{"SS3 with three parameters", "\x1bO1;5;3P", {}},
                      Case{"cursor key with a first parameter", "\x1b[2;5A", {}}),
    case_name<Case>);

// Whatever a terminal sends that is no key, however long, is dropped to its last byte: none of it
// may become keys, nor may the key right behind it be lost. Each case is followed by "e".
std::string long_sequence(const std::string& head, const std::string& repeated, int times, const std::string& end)
{
    std::string bytes = head;
    for (int i = 0; i < times; ++i) {
        bytes += repeated;
    }
    return bytes + end;
}

class DroppedWhole : public ::testing::TestWithParam<Case> {};

TEST_P(DroppedWhole, AndTheKeyBehindKept) { EXPECT_EQ(codes_of(GetParam().bytes + "e"), GetParam().codes); }

INSTANTIATE_TEST_SUITE_P(
    Decoder, DroppedWhole,
    ::testing::Values(
        Case{"an 84-byte cursor sequence", long_sequence("\x1b[", "1;", 41, "A"), {'e'}},
        Case{"CSI u with 300 semicolons", long_sequence("\x1b[97", ";", 300, "u"), {'e'}},
        Case{"100 intermediate bytes", long_sequence("\x1b[1", " ", 100, "q"), {'e'}},
        Case{"a 93-byte report", long_sequence("\x1b[?64", ";1", 44, "c"), {'e'}},
        Case{"a 1000-byte report", long_sequence("\x1b[?64", ";1", 497, "c"), {'e'}},
        Case{"SS3 with 100 digits", long_sequence("\x1bO", "1", 100, "P"), {'e'}},
        Case{"a DCS answer", "\x1bP1$r0;1m\x1b\\", {'e'}},
        Case{"an OSC colour answer ended by BEL", "\x1b]11;rgb:0000/0000/0000\x07", {'e'}},
        Case{"an OSC colour answer ended by ST", "\x1b]10;rgb:ffff/ffff/ffff\x1b\\", {'e'}},
        Case{"an APC answer", "\x1b_Gi=31;OK\x1b\\", {'e'}},
        Case{"a PM", "\x1b^private\x1b\\", {'e'}},
        Case{"an SOS", "\x1bXstart of string\x1b\\", {'e'}},
        Case{"a 300-byte OSC", long_sequence("\x1b]2;", "abcdefghij", 30, "\x07"), {'e'}},
        Case{"an OSC cancelled by CAN", "\x1b]0;title\x18", {'e'}},
        Case{"an OSC cut by Escape, then Up", "\x1b]0;title\x1b[A", {224, 72, 'e'}},
        Case{"an OSC cut short", "\x1b]0;tit", {}},
        Case{"an X10 mouse report over column e, row 0", "\x1b[M e0", {'e'}},
        Case{"an X10 mouse report cut short", "\x1b[M ", {}},
        Case{"an SGR mouse press", "\x1b[<0;5;10M", {'e'}},
        Case{"an SGR mouse release", "\x1b[<0;5;10m", {'e'}},
        Case{"an urxvt mouse report", "\x1b[32;5;10M", {'e'}},
        Case{"a report nobody asked for", "\x1b[?1;2c", {'e'}},
        Case{"a report cut short", "\x1b[?64;1", {}}),
    case_name<Case>);

// Keys as terminals report them in their keyboard protocols: kitty's (CSI u), also offered by
// iTerm2, WezTerm and foot, and xterm's modifyOtherKeys.
INSTANTIATE_TEST_SUITE_P(
    KeyboardProtocols, Keys,
    ::testing::Values(Case{"Alt+a, CSI u", "\x1b[97;3u", {'a'}},
                      Case{"Alt+a, modifyOtherKeys", "\x1b[27;3;97~", {'a'}},
                      Case{"Alt+Shift+j, CSI u", "\x1b[106;4u", {'J'}},
                      Case{"Alt+Shift+j, modifyOtherKeys", "\x1b[27;4;74~", {'J'}},
                      Case{"Alt+a with Caps Lock", "\x1b[97;67u", {'A'}},
                      Case{"Alt+Shift+a with Caps Lock", "\x1b[97;68u", {'a'}},
                      Case{"plain letter, CSI u", "\x1b[101u", {'e'}},
                      Case{"Ctrl+C, CSI u", "\x1b[99;5u", {3}},
                      Case{"Ctrl+C, modifyOtherKeys", "\x1b[27;5;99~", {3}},
                      Case{"Ctrl+j, modifyOtherKeys", "\x1b[27;5;106~", {10}},
                      Case{"Ctrl+backslash, CSI u", "\x1b[92;5u", {28}},
                      Case{"Ctrl+z, CSI u", "\x1b[122;5u", {26}},
                      Case{"Ctrl+Shift+z, CSI u", "\x1b[122;6u", {26}},
                      Case{"Ctrl+question mark", "\x1b[63;5u", {127}},
                      Case{"Ctrl+Space gives nothing", "\x1b[32;5u", {}},
                      Case{"Enter, CSI u", "\x1b[13u", {13}},
                      Case{"Escape, CSI u", "\x1b[27u", {27}},
                      Case{"Alt+e grave, CSI u", "\x1b[232;3u", {0xE8}},
                      Case{"euro sign, CSI u", "\x1b[8364u", {0xE2}},
                      Case{"kitty's keypad 7", "\x1b[57406u", {'7'}},
                      Case{"kitty's keypad Enter", "\x1b[57414u", {13}},
                      Case{"kitty's keypad separator", "\x1b[57416u", {','}},
                      Case{"kitty's Caps Lock is no key", "\x1b[57358u", {}},
                      Case{"beyond Unicode is no key", "\x1b[1114112u", {}},
                      Case{"a surrogate is no key", "\x1b[55296u", {}},
                      Case{"three numbers in another form", "\x1b[28;5;97~", {}}),
    case_name<Case>);

// kitty's protocol with each of its flags, as a terminal left in it by another program sends
// keys: 1 the keypad and Escape as CSI u, 2 repeats and releases, 4 the shifted and base-layout
// keys after colons, 8 every key as CSI u, 16 the text the key types as a third field.
INSTANTIATE_TEST_SUITE_P(
    KittyFlags, Keys,
    ::testing::Values(Case{"keypad Left, Num Lock off", "\x1b[57417u", {0, 75}},
                      Case{"keypad Right, Num Lock off", "\x1b[57418u", {0, 77}},
                      Case{"keypad Up, Num Lock off", "\x1b[57419u", {0, 72}},
                      Case{"keypad Down, Num Lock off", "\x1b[57420u", {0, 80}},
                      Case{"keypad PgUp, Num Lock off", "\x1b[57421u", {0, 73}},
                      Case{"keypad PgDn, Num Lock off", "\x1b[57422u", {0, 81}},
                      Case{"keypad Home, Num Lock off", "\x1b[57423u", {0, 71}},
                      Case{"keypad End, Num Lock off", "\x1b[57424u", {0, 79}},
                      Case{"keypad Insert, Num Lock off", "\x1b[57425u", {0, 82}},
                      Case{"keypad Delete, Num Lock off", "\x1b[57426u", {0, 83}},
                      Case{"keypad Ctrl+Up, Num Lock off", "\x1b[57419;5u", {0, 141}},
                      Case{"keypad 8 with Num Lock on", "\x1b[57407;129u", {'8'}},
                      Case{"keypad 5, Num Lock off, is no key", "\x1b[57427u", {}},
                      Case{"keypad 5 in its letter form is no key", "\x1b[E", {}},
                      Case{"keypad 5 in its tilde form is no key", "\x1b[57427~", {}},
                      Case{"F1", "\x1b[P", {0, 59}},
                      Case{"F3, whose CSI R would be a cursor report", "\x1b[13~", {0, 61}},
                      Case{"a press, said so", "\x1b[97;1:1u", {'a'}},
                      Case{"a repeat is a press", "\x1b[97;1:2u", {'a'}},
                      Case{"a release is no key", "\x1b[97;1:3u", {}},
                      Case{"an event type the protocol has not is no key", "\x1b[97;1:4u", {}},
                      Case{"a release with no modifiers given", "\x1b[97;:3u", {}},
                      Case{"Up repeated", "\x1b[1;1:2A", {224, 72}},
                      Case{"Up let go", "\x1b[1;1:3A", {}},
                      Case{"Ctrl+Up pressed", "\x1b[1;5:1A", {224, 141}},
                      Case{"PgUp let go", "\x1b[5;1:3~", {}},
                      Case{"keypad Up let go", "\x1b[57419;1:3u", {}},
                      Case{"Shift+a with its shifted key", "\x1b[97:65;2u", {'A'}},
                      Case{"Shift+1 with its shifted key", "\x1b[49:33;2u", {'!'}},
                      Case{"Shift+a with its shifted key and Caps Lock", "\x1b[97:65;66u", {'a'}},
                      Case{"Ctrl+Shift+a with its shifted key", "\x1b[97:65;6u", {1}},
                      Case{"Cyrillic es typed, its base-layout key c is not", "\x1b[1089::99u", {0xD1}},
                      Case{"a shifted key without Shift is not typed", "\x1b[97:65u", {'a'}},
                      Case{"Tab", "\x1b[9u", {9}},
                      Case{"Backspace", "\x1b[127u", {127}},
                      Case{"a digit", "\x1b[52u", {'4'}},
                      Case{"Left Shift is no key", "\x1b[57441;2u", {}},
                      Case{"Right Ctrl let go is no key", "\x1b[57448;1:3u", {}},
                      Case{"a with its text", "\x1b[97;;97u", {'a'}},
                      Case{"Shift+a with its text", "\x1b[97;2;65u", {'A'}},
                      Case{"Shift+1 types the text's character", "\x1b[49;2;33u", {'!'}},
                      Case{"Shift+1 on an Italian keyboard", "\x1b[49:33;2;33u", {'!'}},
                      Case{"Shift+a with both its shifted key and its text", "\x1b[97:65;2;65u", {'A'}},
                      Case{"Caps Lock is in the text already", "\x1b[97;65;65u", {'A'}},
                      Case{"e grave on an Italian keyboard", "\x1b[232;;232u", {0xE8}},
                      Case{"text with no key", "\x1b[0;;229u", {0xE5}},
                      Case{"text of two code points is one key, the first", "\x1b[0;;101:769u", {'e'}},
                      Case{"Ctrl with a text", "\x1b[99;5;99u", {3}},
                      Case{"a text that is no character", "\x1b[97;;55296u", {}},
                      Case{"h pressed and let go, all flags", "\x1b[104;;104u\x1b[104;1:3u", {'h'}},
                      Case{"Shift+h with Shift's own press and release, all flags",
                           "\x1b[57441;2u\x1b[104:72;2;72u\x1b[104:72;2:3;72u\x1b[57441;1:3u", {'H'}},
                      Case{"Enter held, all flags", "\x1b[13u\x1b[13;1:2u\x1b[13;1:3u", {13, 13}},
                      Case{"a fourth field", "\x1b[97;1;97;1u", {}},
                      Case{"a fourth sub-field of the key", "\x1b[97:65:97:1u", {}},
                      Case{"a third sub-field of the modifiers", "\x1b[97;1:1:1u", {}},
                      Case{"alternate keys on a cursor key", "\x1b[1:2;5A", {}},
                      Case{"alternate keys on a tilde key", "\x1b[5:6~", {}}),
    case_name<Case>);

// In a Latin-1 or Latin-9 terminal a byte that would start a UTF-8 character is a key of its
// own, and what follows it too.
INSTANTIATE_TEST_SUITE_P(
    CutShortCharacters, Keys,
    ::testing::Values(Case{"e grave then degree sign in Latin-9", "\xe8\xb0", {0xE8, 0xB0}},
                      Case{"lead byte then a letter", "\xc3" "a", {0xC3, 'a'}},
                      Case{"two lead bytes", "\xe8\xe8", {0xE8, 0xE8}}),
    case_name<Case>);

TEST(Decoder, WaitsForTheRestOfASequence)
{
    const auto* up = reinterpret_cast<const unsigned char*>("\x1b[1;5A");
    for (int have = 1; have < 6; ++have) {
        EXPECT_EQ(decode_key(up, have, true).consumed, 0) << have;
    }
    const KeyPress key = decode_key(up, 6, true);
    EXPECT_EQ(key.consumed, 6);
    EXPECT_EQ(key.key.count, 2);
    const auto* e_grave = reinterpret_cast<const unsigned char*>("\xc3\xa8");
    EXPECT_EQ(decode_key(e_grave, 1, true).consumed, 0);
    const auto* euro = reinterpret_cast<const unsigned char*>("\xe2\x82\xac");
    EXPECT_EQ(decode_key(euro, 2, true).consumed, 0);
    const auto* qterminal = reinterpret_cast<const unsigned char*>("\x1b[OE");
    EXPECT_EQ(decode_key(qterminal, 3, true).consumed, 0);
    // However long the wait, a begun report or control string is never taken for keys.
    for (const char* begun : {"\x1b[?64;1", "\x1b]11;rgb:00", "\x1bP1$r", "\x1b[M a"}) {
        EXPECT_EQ(decode_key(reinterpret_cast<const unsigned char*>(begun), static_cast<int>(std::strlen(begun)), true).consumed, 0)
            << begun;
    }
}

} // namespace
