// Turns the bytes a terminal sends for one key press into the PC key codes the game reads:
// a character is one code, a cursor or function key is two (a prefix, 0 or 224, then the
// key's own code). Whatever a terminal sends that is no key (a report, a control string, a
// mouse report left on by another program) is dropped whole, to its last byte.
#pragma once

#include "../common/pc_keys.h"

// More than the longest sequence a terminal sends for one key. A sequence that grows longer is
// no key: it is read on to its end without being held whole (see KeyPress::goes_on).
constexpr int MAX_KEY_BYTES = 64;

struct KeyPress {
    int consumed;  // bytes taken from the front; 0 means the key is not complete yet
    KeyCodes key;  // no codes for bytes that stand for no key
    // Null; or, for a sequence that is no key and goes on past MAX_KEY_BYTES, the few bytes that
    // stand for it, to be put in place of the consumed ones: what follows is then decoded as the
    // rest of the same sequence.
    const char* goes_on;
};

// Decodes the key at the front of bytes[0..length). With more_may_follow, a prefix of a longer
// sequence (a lone Escape, half a UTF-8 character) asks for more bytes by consuming none;
// without it, the bytes at hand are all there is and are taken as they stand.
KeyPress decode_key(const unsigned char* bytes, int length, bool more_may_follow);
