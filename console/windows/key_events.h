// Turns one key event of the Windows console into the PC key codes the game reads: a key that
// types a character gives one code for it, a cursor or function key gives a prefix (0 or 224)
// and then its own code. It needs nothing from the console itself, so it builds and is tested on
// any platform.
#pragma once

#include "../common/key_codes.h"

// What the events so far tell of the next ones: the reader keeps one for the whole game.
struct KeyEventState {
    bool alt_digits = false;  // keypad digits typed while Alt is held, and no other key since,
                              // whose character comes with Alt's release
};

// The fields of a console key event: key_down false for a release; character the UTF-16 code
// unit the key types, 0 when it types none. The event's repeat count is the caller's to apply.
KeyCodes translate_key_event(KeyEventState& state, bool key_down, int virtual_key, unsigned long control_state,
                             unsigned int character);
