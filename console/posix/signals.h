// The signals: held back between the game's steps and let in while it waits, so that what they
// ask for (an end, a stop, drawing the screen again) is answered between two steps, never
// inside one. A fault cannot wait: its handler is the way out given to catch_signals.
#pragma once

#include <csignal>

// Blocks or unblocks the one signal; the mask as it was before. Async-signal-safe.
sigset_t mask_signal(int how, int number);

// The clock of the waits, in milliseconds.
long long now_ms();

// Installs the handlers and holds the signals back. Signals ignored at start stay ignored
// (nohup, background jobs).
void catch_signals(void (*on_fault)(int number));

enum class Woken { READY, TIMED_OUT, SIGNALLED };

// Waits, with the held signals let in, until fd can be read (or written), the deadline (-1:
// none) passes, or a signal has asked for something.
Woken wait_for(int fd, bool writing, long long deadline);

// Runs call with the held signals let in, for a call that the system may stop or interrupt;
// errno as the call left it.
int with_signals_let_in(int (*call)());

// What the signals let in asked for. Each take forgets what it returns.
int ending_signal();  // the signal to end by, 0 for none
int take_stop();      // the signal to stop by (SIGTSTP, SIGTTIN, SIGTTOU), 0 for none
bool take_redraw();   // continued, or the window resized

bool ignored(int number);

// The signal's default action: ending the program, core dump and all.
[[noreturn]] void end_by_default(int number);

// The signal's default action: stopping, until continued; or nothing, where no shell could
// continue the game (the system then drops the stop).
void stop_by_default(int number);
