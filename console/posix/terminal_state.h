// What the game changes on the terminal, and the changing back: its mode, its screen and its key
// modes. Written from here alone. Giving back may be called from a fault's handler, so it is
// async-signal-safe.
#pragma once

#include <csignal>
#include <termios.h>

#include "../common/messages.h"

struct TerminalState {
    int fd = -1;  // /dev/tty, where keys come from
    termios mode_as_found{};
    termios game_mode{};
    bool output_is_terminal = false;  // the game's screen goes to a terminal
    bool keys_on_output = false;      // the very terminal keys come from: its key modes are set
    bool output_may_block = false;    // a blocking pipe or device: waited for before each write
    volatile sig_atomic_t game_mode_on = 0;
    volatile sig_atomic_t game_screen_on = 0;
    volatile sig_atomic_t hung_up = 0;  // nothing more can be written to the terminal
};

extern const TerminalState& terminal;

// Opens the terminal keys come from, and makes standard output, when it is a terminal, the
// game's own non-blocking opening of it.
Failure open_terminal();

// The game's mode on the terminal: tcsetattr's result, errno set on failure.
int set_game_mode();

// The game's screen and key modes, if they are not there.
void put_screen_on();

// The terminal has gone: a read found its end, or a write failed with EIO.
void note_hung_up();

// Reads, to learn whether the terminal has hung up (the input is thrown away: the game is
// ending). True if so.
bool found_hung_up();

// Gives back what the game changed; a second call does nothing.
void give_back_now();

// False, with errno saying why, when not every byte could be written. A full output, also one
// that another program made non-blocking, is waited for.
bool write_all(int fd, const char* bytes, int length);
