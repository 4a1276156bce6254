// The console the game plays on, one implementation per platform: take it, clear it, write
// formatted text to it, read one key from it. Nothing else in the game knows the platform.
#pragma once

#if defined(__GNUC__)
#define SMINATORE_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define SMINATORE_PRINTF_FORMAT
#endif

// Takes the terminal for the game: keys without echo or Enter, and on a terminal screen the
// game's own screen, given back however the program ends. With no terminal to read keys from,
// says so on standard error and ends the program with status 1.
void open_console();

void clear_screen();

// Formatted text for standard output, as printf formats it. It is held back and sent in one
// piece when the game next waits for a key, so that a whole screen appears at once.
void print_text(const char* format, ...) SMINATORE_PRINTF_FORMAT;

// The next key code: 1..255 for a character, or a prefix (0 or 224) followed on the next call by
// the code of a cursor or function key. When no key can be read any more (the terminal is gone),
// every question would be refused for ever: the program gives the terminal back, says why on
// standard error and ends with status 1 instead.
int read_key();
