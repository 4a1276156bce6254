// What each platform's terminal layer gives the part that all platforms share
// (terminal_common.cpp), which calls nothing else of theirs.
#pragma once

#include "key_codes.h"

// Puts bytes out on standard output. When they cannot all be written, gives the terminal back,
// says on standard error what failed and exits with 1 (on POSIX, a pipe that nobody reads ends
// the program by its signal instead).
void write_out(const char* bytes, int length);

// Waits for the next key press; count 0 when no key can be read any more.
KeyCodes next_key_press();

// Gives the terminal back, says on standard error that the game needs one, and exits with 1.
[[noreturn]] void leave_without_terminal();
