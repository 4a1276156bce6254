// Turns one key-down event of the Windows console into the PC key codes the game reads: a key
// that types a character gives that character, a cursor or function key gives a prefix (0 or
// 224) and then its own code. It needs nothing from the console itself, so it builds and is
// tested on any platform.
#pragma once

#include "../common/key_codes.h"

// virtual_key and control_state as the console reports them in a key event; character is the
// byte the key types in the console's code page, 0 when it types none.
KeyCodes translate_key_event(int virtual_key, unsigned long control_state, unsigned char character);
