// Signals on a POSIX terminal: whatever ends or stops the game gives the terminal back first,
// and whatever calls for a new drawing of the screen wakes the key reader.
#pragma once

#include <termios.h>

constexpr char GAME_SCREEN_ON[] = "\x1b[?1049h";
constexpr char GAME_SCREEN_OFF[] = "\x1b[?1049l";

// Installs the handlers. From then on a signal that ends the game (hang-up, interrupt, quit,
// termination, a broken pipe, ...) restores player_mode on tty_fd while the game holds the
// terminal, and leaves the game screen while it is shown, then ends the program by that same
// signal. Ctrl+Z does the same and stops; the game resumes with the terminal still the player's.
// Signals that were ignored when the game started stay ignored (nohup, background jobs).
// Returns a descriptor that becomes readable when the game must take the terminal back and draw
// its screen again (after a stop, or when the window changes size), or -1 if there is none.
int catch_signals(int tty_fd, const termios& player_mode);

// What a handler has to give back: the terminal mode, and the game screen.
void mark_mode_taken(bool taken);
void mark_game_screen_shown(bool shown);
bool game_screen_shown();

// Empties the wake-up descriptor.
void clear_wake_up();

// Holds the handled signals back for good, so that the normal ending is not cut in half; they are
// lost with the process.
void hold_signals();
