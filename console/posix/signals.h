// The signals: held back between the game's steps and let in while it waits, so that what they
// ask for (an end, a stop, drawing the screen again) is answered between two steps, never
// inside one. A fault cannot wait: its handler is the way out given to catch_signals.
#pragma once

// The clock of the waits, in milliseconds.
long long now_ms();

// Installs the handlers and holds the signals back. Signals ignored at start stay ignored
// (nohup, background jobs).
void catch_signals(void (*on_fault)(int number));

// What a wait ended on; a signal's ask outranks the terminal being ready.
enum class Woken {
    READY,      // fd can be read (or written), or will tell why not
    TIMED_OUT,  // the deadline passed
    END,        // a signal asked for the end: see ending_signal
    STOP,       // a signal asked for a stop: see take_stop
    REDRAW,     // continued, or the window resized: the screen must be drawn again
};

// Waits, with the held signals let in, until fd can be read (or written), the deadline passes
// (-1: none; 0: only lets in what is pending), or a signal has asked for something.
Woken wait_for(int fd, bool writing, long long deadline);

// Runs call with the held signals let in, for a call that the system may stop or interrupt;
// errno as the call left it. What a signal asked for meanwhile, or READY.
Woken with_signals_let_in(int (*call)(), int& result);

int ending_signal();  // the signal an END was asked by
int take_stop();      // the signal a STOP was asked by (SIGTSTP, SIGTTIN, SIGTTOU), forgotten

bool ignored(int number);

// The signal's default action: ending the program, core dump and all.
[[noreturn]] void end_by_default(int number);

// The signal's default action: stopping, until continued; or nothing, where no shell could
// continue the game (the system then drops the stop).
void stop_by_default(int number);
