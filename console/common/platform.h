// Between the part of the console that all platforms share (console.cpp) and each platform's
// own layer (posix/platform.cpp, windows/platform.cpp). Calls run one way, from the game through
// the shared part to the platform: a platform tells a failure upward, and the shared part leaves
// with its message.
#pragma once

#include "key_codes.h"
#include "messages.h"

// Takes the terminal for the game (see open_console): NO_FAILURE, or why it cannot.
Failure take_console();

// Into a file or a pipe, a form feed parts the screens, as the PC console's own clearing does.
constexpr char FORM_FEED[] = "\f";

// What clears the player's screen, to be written ahead of the next screen: the terminal's own
// bytes, FORM_FEED into a file or a pipe, or "" where the platform has cleared it at once;
// null, with failure saying why, when it could not be cleared.
const char* clear_terminal(Failure& failure);

// Writes some of the bytes to standard output: how many, at least one. 0 when the screen must
// be drawn again from its start first (after a stop, or a change of window size); -1 when
// nothing can be written, with failure saying why.
int write_some(const char* bytes, int length, Failure& failure);

// What the platform's reader brings next.
struct Input {
    enum What { KEY, REDRAW, GONE } what;  // a key press; the screen must be drawn again; no key
                                           // can be read any more
    KeyCodes key;
    Failure failure = NO_TERMINAL;         // with GONE, why
};
Input next_input();

// Gives the terminal back as it was found; the later calls do nothing. Also at the end of the
// program, once the last of the output has gone.
void give_terminal_back();

// Writes on standard error, whole or not at all.
void write_error(const char* text, int length);
