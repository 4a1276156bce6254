// The console, one implementation per platform. The game writes its text with std::printf on
// standard output; open_console buffers standard output so that each screen reaches the
// terminal in one write, and read_key sends it before it waits.
#pragma once

// Takes the terminal for the game: keys without echo or Enter, and on a terminal screen the
// game's own screen, given back when the program ends. False when there is no terminal to read
// keys from.
bool open_console();

void clear_screen();

// The next key code: 1..255 for a character, or a prefix (0 or 224) followed on the next call by
// the code of a cursor or function key. -1 when no key can be read any more.
int read_key();

// Gives the terminal back, says on standard error that the game needs one, and exits with 1.
[[noreturn]] void leave_without_terminal();
