// Between the part of the console that all platforms share (terminal_common.cpp) and each
// platform's own layer. Calls run from the game through the shared part to the platform; the
// platform calls back only to leave with a message.
#pragma once

#include "key_codes.h"
#include "messages.h"

// ---- What each platform gives the shared part.

// Takes the terminal for the game (see open_console); with no terminal to read keys from, leaves.
void take_console();

// Whether standard output shows the player's screen, rather than going to a file or a pipe.
bool output_is_terminal();

// Clears the player's screen: the bytes that do it, to be written ahead of the next screen, or
// "" where the platform has cleared it at once.
const char* clear_terminal();

// Writes some of the bytes to standard output: how many, at least one. 0 when the screen must
// be drawn again from its start first (after a stop, or a change of window size). When nothing
// can be written, it leaves the program and does not return.
int write_some(const char* bytes, int length);

// What the platform's reader brings next.
struct Input {
    enum What { KEY, REDRAW, GONE } what;  // a key press; the screen must be drawn again; no key
                                           // can be read any more
    KeyCodes key;
};
Input next_input();

// Gives the terminal back as it was found; the later calls do nothing. Also at the end of the
// program, once the last of the output has gone.
void give_terminal_back();

// Writes on standard error, whole or not at all.
void write_error(const char* text, int length);

// ---- What the shared part gives the platforms: the ways out with a message, each after
// giving the terminal back.

// "sminatore: <what> (<why>)." with status 1.
[[noreturn]] void leave(const char* what, Why why, long error);

// The program needs a terminal to read keys from and has none.
[[noreturn]] void leave_without_terminal();
