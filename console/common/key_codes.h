// One key press as the game reads it, whatever the platform.
#pragma once

struct KeyCodes {
    int count;  // 0: no key for the game (Shift alone and the like), 1: a character, 2: a prefix
                // (0 or 224) and the key's own code
    int codes[2];
};

constexpr KeyCodes NO_KEY = {0, {0, 0}};
