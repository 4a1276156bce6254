// Signals on a POSIX terminal: whatever ends or stops the game gives the terminal back first,
// and whatever calls for a new drawing of the screen wakes the key reader.
#pragma once

#include <termios.h>

// Taking the terminal: the game's own screen; keypad transmit mode (cursor keys in application
// mode and the application keypad), outside which st sends Insert, Delete and Shift+Home as no
// key at all; the question what "meta sends escape" is set to; and that mode, so that Alt with a
// letter comes as Escape and the letter, not as the letter with its eighth bit set (xterm's and
// mlterm's default). The answer comes in with the keys, whenever it comes.
constexpr char GAME_SCREEN_ON[] = "\x1b[?1049h" "\x1b[?1h\x1b=" "\x1b[?1036$p" "\x1b[?1036h";
// Giving it back: keypad transmit mode off, "meta sends escape" as the terminal said it was (off
// when it did not say), and the player's screen.
constexpr char GAME_SCREEN_OFF[] = "\x1b[?1l\x1b>" "\x1b[?1036l" "\x1b[?1049l";
constexpr char GAME_SCREEN_OFF_META_SET[] = "\x1b[?1l\x1b>" "\x1b[?1036h" "\x1b[?1049l";
static_assert(sizeof GAME_SCREEN_OFF == sizeof GAME_SCREEN_OFF_META_SET, "one length, for the signal handlers");
// The terminal's answer to the question: this, a digit (1 or 3 set, 2 or 4 reset, 0 unknown)
// and META_ANSWER_END.
constexpr char META_ANSWER[] = "\x1b[?1036;";
constexpr char META_ANSWER_END[] = "$y";

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
// What the terminal said of "meta sends escape" before the game set it, and so what leaving the
// game screen sends.
void mark_player_meta_set(bool set);
const char* game_screen_off();

// Empties the wake-up descriptor.
void clear_wake_up();

// Holds the handled signals back for good, so that the normal ending is not cut in half; they are
// lost with the process.
void hold_signals();
