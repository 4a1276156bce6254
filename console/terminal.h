// The console, one implementation per platform: the three operations the game uses (clear the
// screen, read one key, write formatted text), and taking and giving back the terminal.
#pragma once

#if defined(__GNUC__)
#define SMINATORE_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define SMINATORE_PRINTF_FORMAT
#endif

// Takes the terminal for the game: keys without echo or Enter, and on a terminal screen the
// game's own screen, given back when the program ends. False when there is no terminal to read
// keys from.
bool open_console();

void clear_screen();

// Formatted text for standard output, as printf formats it. It is held back and sent in one
// piece when the game next waits for a key, so that a whole screen appears at once.
void print_text(const char* format, ...) SMINATORE_PRINTF_FORMAT;

// The next key code: 1..255 for a character, or a prefix (0 or 224) followed on the next call by
// the code of a cursor or function key. -1 when no key can be read any more.
int read_key();

// Gives the terminal back, says on standard error that the game needs one, and exits with 1.
[[noreturn]] void leave_without_terminal();
