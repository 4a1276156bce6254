// Turns the bytes a terminal sends for one key press into the PC key codes the game reads:
// a character is one code, a cursor or function key is two (a prefix, 0 or 224, then the
// key's own code).
#pragma once

#include "../common/pc_keys.h"

// Enough for the longest sequence a terminal sends for one key or as an answer (xterm's device
// attributes take 35 bytes). A longer key sequence is dropped; a longer report is read on to its
// final byte without being held whole (see Answer::GOES_ON).
constexpr int MAX_KEY_BYTES = 64;

// What of a report is kept while it is read on: ESC, [ and its private marker.
constexpr int REPORT_HEAD = 3;

// The terminal's answers to the game's questions, which come in among the keys.
enum class Answer {
    NONE,
    META_SET,           // "meta sends escape" is set (DECRQM 1036: 1 or 3)
    META_NOT_SET,       // reset, or the terminal does not know the mode (0, 2 or 4)
    DEVICE_ATTRIBUTES,  // the answer to ESC [ c, which every terminal gives, last
    // A report (a sequence with a private marker, as every answer has) whose rest has not come:
    // no key begins so, so it is waited for as long as an answer may take, not as a key.
    BEGUN,
    // A report longer than MAX_KEY_BYTES: the consumed bytes after its head decide nothing and
    // may go; the rest is decoded as the same report.
    GOES_ON,
};

struct KeyPress {
    int consumed;   // bytes taken from the front; 0 means the key is not complete yet
    KeyCodes key;   // no codes for bytes that stand for no key
    Answer answer;  // what the bytes answered, when they are no key
};

// Decodes the key at the front of bytes[0..length). With more_may_follow, a prefix of a longer
// sequence (a lone Escape, half a UTF-8 character) asks for more bytes by consuming none;
// without it, the bytes at hand are all there is and are taken as they stand.
KeyPress decode_key(const unsigned char* bytes, int length, bool more_may_follow);
