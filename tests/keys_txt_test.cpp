// Every row of tests/real_terminals/keys.txt, the table the real-terminal run plays with real key
// presses, read as it stands: the bytes a terminal sends for the key, through the key decoder and
// the game's own judging of each code, must give what the row says the player sees at "Colonna"
// and at "Riga". The run needs X and a dozen terminals; this needs neither, so a key that comes
// out as the wrong code is caught by every build.
//
// Which rows are judged, and with which bytes:
// - The rows for every terminal ("*") with the bytes of three ways of sending keys, each in the
//   modes the game sets (cursor keys and keypad in application mode, Alt as ESC): xterm's, which
//   VTE, konsole, qterminal, xterm.js and kitty in its default mode follow; rxvt-unicode's;
//   and kitty's keyboard protocol with its first flag, as a terminal left in it sends keys. Where
//   keys.txt has a row of that terminal's own (urxvt, xterm, kitty), it replaces the "*" row.
// - The rows of the other terminals with the bytes those terminals send for that key
//   (OTHER_TERMINALS below): a row that this table has no bytes for fails, so that no row added
//   to keys.txt goes unjudged.
// Not judged, by rule: a row whose answers are "-" or "skip" at a prompt says that nothing
// reaches the game there (the terminal keeps the key) or that the run does not try it, so there
// is nothing to decode; and the rows of "windows", whose console hands over key events, not
// bytes (key_events_test judges those).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "case_name.h"
#include "console/input.h"
#include "console/posix/key_decoder.h"

namespace {

// ---- keys.txt

struct Row {
    int line;
    std::string terminal;
    std::string key;  // xdotool's name, with "shift+", "ctrl+", "alt+" and "num:" before it
    std::string at_column;
    std::string at_row;
};

const char* const ALL_TERMINALS = "*";
const char* const NO_ANSWER = "-";
const char* const NOT_TRIED = "skip";
const char* const WINDOWS = "windows";

// The words of text, each parted from the next by one space.
std::string words(const std::string& text)
{
    std::istringstream in(text);
    std::string joined;
    for (std::string word; in >> word;) {
        joined += (joined.empty() ? "" : " ") + word;
    }
    return joined;
}

// As play_in_terminals.sh reads the file: "terminal key | at Colonna | at Riga | why".
std::vector<Row> rows_of_keys_txt()
{
    std::ifstream in(KEYS_TXT);
    std::vector<Row> rows;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '|');) {
            fields.push_back(field);
        }
        std::istringstream head(fields[0]);
        Row row{number, "", "", "", ""};
        head >> row.terminal >> row.key;
        row.at_column = fields.size() > 1 ? words(fields[1]) : "";
        row.at_row = fields.size() > 2 ? words(fields[2]) : "";
        rows.push_back(row);
    }
    return rows;
}

const std::vector<Row>& keys_txt()
{
    static const std::vector<Row> rows = rows_of_keys_txt();
    return rows;
}

// ---- What the game makes of the bytes

// The bytes of one key press, all come at once, as the key reader decodes them: a sequence not
// complete yet is taken as it stands once nothing more comes.
std::vector<int> codes_of(const std::string& bytes)
{
    std::vector<int> codes;
    for (size_t at = 0; at < bytes.size();) {
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
        const int length = static_cast<int>(bytes.size() - at);
        KeyPress key = decode_key(data, length, true);
        if (key.consumed == 0) {
            key = decode_key(data, length, false);
        }
        if (key.consumed <= 0) {
            ADD_FAILURE() << "the decoder takes nothing of what is left: " << bytes.substr(at);
            break;
        }
        at += static_cast<size_t>(key.consumed);
        for (int i = 0; i < key.key.count; ++i) {
            codes.push_back(key.key.codes[i]);
        }
    }
    return codes;
}

// What the player sees after the prompt for each code: N.A., or the character echoed, after
// which the other prompt asks.
std::string seen_at(const char* label, const std::vector<int>& codes)
{
    std::string seen;
    const char* asking = label;
    for (const int code : codes) {
        seen += seen.empty() ? "" : " ";
        if (key_accepted(code, asking)) {
            seen += static_cast<char>(code);
            asking = asking == COLUMN_LABEL ? ROW_LABEL : COLUMN_LABEL;
        } else {
            seen += "N.A.";
        }
    }
    return seen.empty() ? NO_ANSWER : seen;
}

bool nothing_to_decode(const std::string& answers) { return answers == NO_ANSWER || answers == NOT_TRIED; }

// Bytes as a message shows them: ESC as \e, other control bytes and those above ASCII in hex.
std::string shown(const std::string& bytes)
{
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x1b) {
            text += "\\e";
        } else if (byte < 0x20 || byte >= 0x7f) {
            const char digits[] = "0123456789abcdef";
            text += std::string("\\x") + digits[byte >> 4] + digits[byte & 0xF];
        } else {
            text += c;
        }
    }
    return text;
}

// Checks the row's answers against what the bytes give, at each prompt where the row has some.
void judge(const Row& row, const std::string& bytes, const std::string& sent_by)
{
    const std::vector<int> codes = codes_of(bytes);
    const std::string where = "keys.txt:" + std::to_string(row.line) + " " + row.key + " as " + sent_by +
                              " sends it (" + shown(bytes) + ")";
    if (!nothing_to_decode(row.at_column)) {
        EXPECT_EQ(seen_at(COLUMN_LABEL, codes), row.at_column) << where << ", at Colonna";
    }
    if (!nothing_to_decode(row.at_row)) {
        EXPECT_EQ(seen_at(ROW_LABEL, codes), row.at_row) << where << ", at Riga";
    }
}

// ---- What terminals send

constexpr int SHIFT = 1;
constexpr int ALT = 2;
constexpr int CTRL = 4;
const std::string ESC = "\x1b";
const std::string CSI = "\x1b[";
const std::string SS3 = "\x1bO";

struct Press {
    std::string name;  // without the modifiers
    int modifiers;
    bool num_lock;
};

Press press_of(std::string key)
{
    Press press{"", 0, false};
    const std::pair<const char*, int> prefixes[] = {{"shift+", SHIFT}, {"ctrl+", CTRL}, {"alt+", ALT}};
    if (key.rfind("num:", 0) == 0) {
        press.num_lock = true;
        key.erase(0, 4);
    }
    for (bool found = true; found;) {
        found = false;
        for (const auto& [prefix, bit] : prefixes) {
            if (key.rfind(prefix, 0) == 0) {
                press.modifiers |= bit;
                key.erase(0, std::char_traits<char>::length(prefix));
                found = true;
            }
        }
    }
    press.name = key;
    return press;
}

// A key that types no character in xterm's convention: CSI number ~, or a final letter after CSI
// or (unmodified, in application mode, and F1 to F4) SS3; the modifiers as a second parameter,
// 1 + Shift 1, Alt 2, Ctrl 4.
struct FunctionKey {
    const char* name;
    int number;
    char final_byte;  // '~', or the letter
};

const FunctionKey FUNCTION_KEYS[] = {
    {"Up", 1, 'A'},     {"Down", 1, 'B'},   {"Right", 1, 'C'},  {"Left", 1, 'D'},    {"Home", 1, 'H'},
    {"End", 1, 'F'},    {"Begin", 1, 'E'},  {"Insert", 2, '~'}, {"Delete", 3, '~'},  {"Prior", 5, '~'},
    {"Next", 6, '~'},   {"F1", 1, 'P'},     {"F2", 1, 'Q'},     {"F3", 1, 'R'},      {"F4", 1, 'S'},
    {"F5", 15, '~'},    {"F6", 17, '~'},    {"F7", 18, '~'},    {"F8", 19, '~'},     {"F9", 20, '~'},
    {"F10", 21, '~'},   {"F11", 23, '~'},   {"F12", 24, '~'},
};

const FunctionKey* function_key(const std::string& name)
{
    for (const FunctionKey& key : FUNCTION_KEYS) {
        if (name == key.name) {
            return &key;
        }
    }
    return nullptr;
}

// The keypad: its cursor key with Num Lock off, what it types with Num Lock on, the final letter
// of its application code (SS3), and the number kitty's protocol gives it with Num Lock off and on.
struct KeypadKey {
    const char* name;
    const char* cursor_key;  // nullptr: it types the same with Num Lock off
    char typed;
    char application;
    int kitty_off;
    int kitty_on;
};

const KeypadKey KEYPAD_KEYS[] = {
    {"KP_Insert", "Insert", '0', 'p', 57425, 57399}, {"KP_End", "End", '1', 'q', 57424, 57400},
    {"KP_Down", "Down", '2', 'r', 57420, 57401},     {"KP_Next", "Next", '3', 's', 57422, 57402},
    {"KP_Left", "Left", '4', 't', 57417, 57403},     {"KP_Begin", "Begin", '5', 'u', 57427, 57404},
    {"KP_Right", "Right", '6', 'v', 57418, 57405},   {"KP_Home", "Home", '7', 'w', 57423, 57406},
    {"KP_Up", "Up", '8', 'x', 57419, 57407},         {"KP_Prior", "Prior", '9', 'y', 57421, 57408},
    {"KP_Delete", "Delete", '.', 'n', 57426, 57409}, {"KP_Enter", nullptr, '\r', 'M', 57414, 57414},
    {"KP_Add", nullptr, '+', 'k', 57413, 57413},     {"KP_Subtract", nullptr, '-', 'm', 57412, 57412},
    {"KP_Multiply", nullptr, '*', 'j', 57411, 57411}, {"KP_Divide", nullptr, '/', 'o', 57410, 57410},
};

const KeypadKey* keypad_key(const std::string& name)
{
    for (const KeypadKey& key : KEYPAD_KEYS) {
        if (name == key.name) {
            return &key;
        }
    }
    return nullptr;
}

// The character a key types, as UTF-8; empty for a name that is no character key.
std::string typed_by(const std::string& name)
{
    const std::map<std::string, std::string> named = {
        {"Escape", ESC}, {"Return", "\r"}, {"BackSpace", "\x7f"}, {"egrave", "\xc3\xa8"}};
    const auto found = named.find(name);
    if (found != named.end()) {
        return found->second;
    }
    return name.size() == 1 ? name : "";
}

// A character key with Ctrl and Alt as xterm and rxvt send them: the control code, then ESC before it.
std::string character_key(const std::string& typed, int modifiers)
{
    std::string bytes = typed;
    if ((modifiers & CTRL) != 0 && typed.size() == 1) {
        bytes = std::string(1, static_cast<char>(typed[0] & 0x1F));
    }
    return (modifiers & ALT) != 0 ? ESC + bytes : bytes;
}

std::string with_modifiers(const FunctionKey& key, int modifiers)
{
    const std::string parameter = std::to_string(key.number) + ";" + std::to_string(1 + modifiers);
    return CSI + (modifiers != 0 ? parameter : key.final_byte == '~' ? std::to_string(key.number) : "") +
           key.final_byte;
}

std::string xterm_bytes(const Press& press)
{
    if (const KeypadKey* keypad = keypad_key(press.name)) {
        if (press.num_lock && keypad->typed != '\r') {
            return std::string(1, keypad->typed);
        }
        if (keypad->cursor_key == nullptr || press.num_lock) {
            return SS3 + keypad->application;
        }
        return xterm_bytes({keypad->cursor_key, press.modifiers, false});
    }
    if (const FunctionKey* key = function_key(press.name)) {
        // Unmodified, the cursor keys (application mode) and F1 to F4 come as SS3.
        const bool ss3 = press.modifiers == 0 && key->final_byte != '~';
        return ss3 ? SS3 + key->final_byte : with_modifiers(*key, press.modifiers);
    }
    const std::string typed = typed_by(press.name);
    return typed.empty() ? "" : character_key(typed, press.modifiers);
}

// rxvt's own: CSI number ~ for the editing and function keys, with $ for Shift, ^ for Ctrl
// (Shift+F1 to Shift+F10 are F11 to F20 instead); its cursor keys with Shift as CSI a to d and
// with Ctrl as SS3 a to d; Alt as ESC before the key; the keypad's application codes also for its
// cursor keys.
std::string rxvt_bytes(const Press& press)
{
    const std::map<std::string, int> numbers = {
        {"Home", 7},  {"End", 8},   {"Insert", 2}, {"Delete", 3}, {"Prior", 5},  {"Next", 6},
        {"F1", 11},   {"F2", 12},   {"F3", 13},    {"F4", 14},    {"F5", 15},    {"F6", 17},
        {"F7", 18},   {"F8", 19},   {"F9", 20},    {"F10", 21},   {"F11", 23},   {"F12", 24}};
    const std::map<std::string, int> shifted = {{"F1", 23}, {"F2", 24}, {"F3", 25}, {"F4", 26}, {"F5", 28},
                                                {"F6", 29}, {"F7", 31}, {"F8", 32}, {"F9", 33}, {"F10", 34}};
    const std::string cursor_letters = "ABCD";
    const std::vector<std::string> cursor_keys = {"Up", "Down", "Right", "Left"};
    if (const KeypadKey* keypad = keypad_key(press.name)) {
        return press.num_lock && keypad->typed != '\r' ? std::string(1, keypad->typed) : SS3 + keypad->application;
    }
    const std::string alt = (press.modifiers & ALT) != 0 ? ESC : "";
    const int modifiers = press.modifiers & ~ALT;
    for (size_t i = 0; i < cursor_keys.size(); ++i) {
        if (press.name == cursor_keys[i]) {
            const char letter = cursor_letters[i];
            const char lower = static_cast<char>(letter - 'A' + 'a');
            switch (modifiers) {
            case 0: return alt + SS3 + letter;
            case SHIFT: return alt + CSI + lower;
            case CTRL: return alt + SS3 + lower;
            default: return "";
            }
        }
    }
    const auto number = numbers.find(press.name);
    if (number != numbers.end()) {
        const auto shift_number = shifted.find(press.name);
        switch (modifiers) {
        case 0: return alt + CSI + std::to_string(number->second) + "~";
        case SHIFT:
            return alt + CSI +
                   (shift_number != shifted.end() ? std::to_string(shift_number->second) + "~"
                                                  : std::to_string(number->second) + "$");
        case CTRL: return alt + CSI + std::to_string(number->second) + "^";
        default: return "";
        }
    }
    const std::string typed = typed_by(press.name);
    return typed.empty() ? "" : character_key(typed, press.modifiers);
}

// kitty's protocol with flag 1 (disambiguate): the keypad, Escape and the characters with Alt or
// Ctrl as CSI number ; modifiers u, the number being the key's own (a letter's lower case, Shift
// among the modifiers); F1, F2, F4 and the cursor keys as CSI letter, F3 as CSI 13 ~; Num Lock
// among the modifiers (128) on the keypad.
std::string kitty_bytes(const Press& press)
{
    const auto csi_u = [](int number, int modifiers) {
        return CSI + std::to_string(number) + (modifiers != 0 ? ";" + std::to_string(1 + modifiers) : "") + "u";
    };
    constexpr int NUM_LOCK = 128;
    if (const KeypadKey* keypad = keypad_key(press.name)) {
        return press.num_lock ? csi_u(keypad->kitty_on, press.modifiers | NUM_LOCK)
                              : csi_u(keypad->kitty_off, press.modifiers);
    }
    if (const FunctionKey* key = function_key(press.name)) {
        if (press.name == "F3") {
            return with_modifiers({"F3", 13, '~'}, press.modifiers);
        }
        return key->final_byte == '~' || press.modifiers != 0 ? with_modifiers(*key, press.modifiers)
                                                               : CSI + key->final_byte;
    }
    const std::string typed = typed_by(press.name);
    if (press.name == "Escape") {
        return csi_u(27, press.modifiers);
    }
    if (typed.size() == 1 && (press.modifiers & (ALT | CTRL)) != 0) {
        const char c = typed[0];
        const bool upper = c >= 'A' && c <= 'Z';
        return csi_u(upper ? c - 'A' + 'a' : c, press.modifiers | (upper ? SHIFT : 0));
    }
    return typed;
}

// ---- The terminals

struct Sender {
    const char* what;
    const char* terminal;  // whose own rows of keys.txt replace the "*" ones
    std::string (*bytes)(const Press&);
};

// Named in a failure's message, not dumped as bytes.
void PrintTo(const Sender& sender, std::ostream* out) { *out << sender.what; }

const Sender SENDERS[] = {
    {"xterm", "xterm", xterm_bytes},
    {"rxvt-unicode", "urxvt", rxvt_bytes},
    {"kitty's protocol", "kitty", kitty_bytes},
};

// The rows of each terminal that the run plays: those for every terminal, each replaced by the
// terminal's own for the same key.
std::vector<Row> rows_for(const std::string& terminal)
{
    std::vector<Row> rows;
    for (const Row& row : keys_txt()) {
        if (row.terminal == ALL_TERMINALS) {
            rows.push_back(row);
        }
    }
    for (const Row& own : keys_txt()) {
        if (own.terminal != terminal) {
            continue;
        }
        bool replaced = false;
        for (Row& row : rows) {
            if (row.key == own.key) {
                row = own;
                replaced = true;
            }
        }
        EXPECT_TRUE(replaced) << "keys.txt:" << own.line << " " << own.key << " is no key of the \"*\" rows";
    }
    return rows;
}

class KeysTxt : public ::testing::TestWithParam<Sender> {};

TEST_P(KeysTxt, EveryKeyAsThePlayerMustSeeIt)
{
    const std::vector<Row> rows = rows_for(GetParam().terminal);
    ASSERT_FALSE(rows.empty()) << "no rows read from " << KEYS_TXT;
    for (const Row& row : rows) {
        if (nothing_to_decode(row.at_column) && nothing_to_decode(row.at_row)) {
            continue;
        }
        const std::string bytes = GetParam().bytes(press_of(row.key));
        if (bytes.empty()) {
            ADD_FAILURE() << "keys.txt:" << row.line << ": no bytes known for " << row.key;
            continue;
        }
        judge(row, bytes, GetParam().what);
    }
}

INSTANTIATE_TEST_SUITE_P(KeysTxt, KeysTxt, ::testing::ValuesIn(SENDERS), case_name<Sender>);

// What the other terminals send for the keys that keys.txt says they treat in their own way.
struct OwnKey {
    const char* terminal;
    const char* key;
    std::string bytes;
};

const std::string PF1 = SS3 + "P";

const OwnKey OTHER_TERMINALS[] = {
    // st: Home in application cursor mode for Ctrl+Home and Alt+Home, PgUp for Alt+PgUp, and
    // the keypad's application codes for its arrows.
    {"st", "ctrl+Home", CSI + "1~"},
    {"st", "alt+Home", CSI + "1~"},
    {"st", "alt+Prior", CSI + "5~"},
    {"st", "KP_Up", SS3 + "x"},
    {"st", "KP_Down", SS3 + "r"},
    {"st", "KP_Left", SS3 + "t"},
    {"st", "KP_Right", SS3 + "v"},
    // screen and tmux pass on xterm's Alt with a letter as the letter with its eighth bit set.
    {"screen", "alt+a", "\xc3\xa1"},
    {"screen", "alt+J", "\xc3\x8a"},
    {"screen", "alt+7", "\xc2\xb7"},
    {"tmux", "alt+a", "\xc3\xa1"},
    {"tmux", "alt+J", "\xc3\x8a"},
    {"tmux", "alt+7", "\xc2\xb7"},
    // pterm, in its default settings: Ctrl turns a cursor key to the other cursor-key mode, and
    // is not put on the function keys; Alt is ESC before the key; the VT220's keypad, whose Num
    // Lock is PF1, pressed before and after the key.
    {"pterm", "ctrl+Up", CSI + "A"},
    {"pterm", "alt+Home", ESC + CSI + "1~"},
    {"pterm", "alt+Prior", ESC + CSI + "5~"},
    {"pterm", "ctrl+Delete", "\x7f"},
    {"pterm", "ctrl+F4", CSI + "14~"},
    {"pterm", "ctrl+F5", CSI + "15~"},
    {"pterm", "ctrl+F6", CSI + "17~"},
    {"pterm", "ctrl+F7", CSI + "18~"},
    {"pterm", "ctrl+F8", CSI + "19~"},
    {"pterm", "ctrl+F9", CSI + "20~"},
    {"pterm", "ctrl+F10", CSI + "21~"},
    {"pterm", "KP_Home", SS3 + "w"},
    {"pterm", "KP_Up", SS3 + "x"},
    {"pterm", "KP_Prior", SS3 + "y"},
    {"pterm", "KP_Left", SS3 + "t"},
    {"pterm", "KP_Begin", SS3 + "u"},
    {"pterm", "KP_Right", SS3 + "v"},
    {"pterm", "KP_End", SS3 + "q"},
    {"pterm", "KP_Down", SS3 + "r"},
    {"pterm", "KP_Next", SS3 + "s"},
    {"pterm", "KP_Insert", SS3 + "p"},
    {"pterm", "KP_Delete", SS3 + "n"},
    {"pterm", "KP_Divide", SS3 + "Q"},
    {"pterm", "KP_Multiply", SS3 + "R"},
    {"pterm", "KP_Subtract", SS3 + "S"},
    {"pterm", "num:KP_Insert", PF1 + SS3 + "p" + PF1},
    {"pterm", "num:KP_End", PF1 + SS3 + "q" + PF1},
    {"pterm", "num:KP_Down", PF1 + SS3 + "r" + PF1},
    {"pterm", "num:KP_Next", PF1 + SS3 + "s" + PF1},
    {"pterm", "num:KP_Left", PF1 + SS3 + "t" + PF1},
    {"pterm", "num:KP_Begin", PF1 + SS3 + "u" + PF1},
    {"pterm", "num:KP_Right", PF1 + SS3 + "v" + PF1},
    {"pterm", "num:KP_Home", PF1 + SS3 + "w" + PF1},
    {"pterm", "num:KP_Up", PF1 + SS3 + "x" + PF1},
    {"pterm", "num:KP_Prior", PF1 + SS3 + "y" + PF1},
    {"pterm", "num:KP_Delete", PF1 + SS3 + "n" + PF1},
    {"pterm", "num:KP_Enter", PF1 + SS3 + "M" + PF1},
    // xterm.js: PgUp for Ctrl+PgUp and Alt+PgUp, and Alt+Shift+j as Alt+j.
    {"xtermjs", "ctrl+Prior", CSI + "5~"},
    {"xtermjs", "alt+Prior", CSI + "5~"},
    {"xtermjs", "alt+J", ESC + "j"},
};

bool played_with_all_keys(const std::string& terminal)
{
    for (const Sender& sender : SENDERS) {
        if (terminal == sender.terminal) {
            return true;
        }
    }
    return false;
}

TEST(KeysTxt, EveryOtherTerminalsOwnKeys)
{
    std::vector<bool> used(std::size(OTHER_TERMINALS), false);
    for (const Row& row : keys_txt()) {
        if (row.terminal == ALL_TERMINALS || row.terminal == WINDOWS || played_with_all_keys(row.terminal) ||
            (nothing_to_decode(row.at_column) && nothing_to_decode(row.at_row))) {
            continue;
        }
        bool known = false;
        for (size_t i = 0; i < std::size(OTHER_TERMINALS); ++i) {
            if (row.terminal == OTHER_TERMINALS[i].terminal && row.key == OTHER_TERMINALS[i].key) {
                judge(row, OTHER_TERMINALS[i].bytes, row.terminal);
                used[i] = known = true;
            }
        }
        EXPECT_TRUE(known) << "keys.txt:" << row.line << ": no bytes known for " << row.terminal << " " << row.key;
    }
    for (size_t i = 0; i < used.size(); ++i) {
        EXPECT_TRUE(used[i]) << OTHER_TERMINALS[i].terminal << " " << OTHER_TERMINALS[i].key
                             << " has no row in keys.txt that the decoder can judge";
    }
}

} // namespace
