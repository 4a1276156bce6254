// The bytes read from the terminal, decoded once into the keys the game is still to take.
#pragma once

#include "../common/key_codes.h"

bool key_waiting();

// The oldest key decoded and not taken yet; only when key_waiting().
KeyCodes take_key();

// When the sequence begun at the front must be complete, its rest following within a tenth of
// a second (-1: none begun).
long long key_deadline();

// Reads what the terminal has ready and decodes it. False, with errno saying why, when it gives
// nothing any more: EIO once it has hung up.
bool read_keys(int fd);

// The deadline has passed: what was begun is taken as it stands.
void take_front_as_it_stands();
