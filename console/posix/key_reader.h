// The bytes read from the terminal, decoded once into the keys the game is still to take and the
// answers to the questions asked of the terminal, which may come anywhere among them.
#pragma once

#include "../common/key_codes.h"

// The questions have gone out: their answers are due.
void expect_answers();

bool key_waiting();

// The oldest key decoded and not taken yet; only when key_waiting().
KeyCodes take_key();

// When the sequence begun at the front must be complete (-1: none begun): a key's rest follows
// within a tenth of a second, a terminal's report may take as long as an answer.
long long key_deadline();

// Reads what the terminal has ready and decodes it. False when it gives nothing any more.
bool read_keys();

// The deadline has passed: what was begun is taken as it stands.
void take_front_as_it_stands();

// Takes the answers that have already come, without waiting for more.
void take_answers_come();

// Takes the answers still on their way, with the game's mode still on so that they are not
// echoed, before the shell or the next program can take them for its own input. Keys read
// meanwhile stay for the game. A terminal that has not answered in time answers nothing.
// Async-signal-safe: a fault's handler calls it.
void wait_for_answers();
