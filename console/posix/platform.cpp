// The console on POSIX terminals, as the shared part asks for it. Keys come from /dev/tty in a
// raw mode kept for the whole game, so that type-ahead is never echoed; the game plays on the
// terminal's alternate screen; and whatever ends or stops the program gives the terminal back
// first, with nothing of the game's reaching the player's screen after it.
//
// Everything the game waits for is waited for in one loop, next_event, which also answers
// what the signals let in while it waits ask for (see signals.h): an end, a stop, a screen to
// draw again. The terminal going away is learnt from a read or a write.
#include <cerrno>
#include <climits>
#include <csignal>
#include <unistd.h>

#include "../common/platform.h"
#include "key_reader.h"
#include "signals.h"
#include "terminal_state.h"

namespace {

constexpr char CLEAR[] = "\x1b[H\x1b[2J";  // cursor to the top left, erase the screen

// The errors a player can act on.
constexpr ErrorReason ERROR_REASONS[] = {
    {ENOSPC, Why::DISK_FULL}, {EDQUOT, Why::DISK_FULL}, {EFBIG, Why::DISK_FULL},
    {EPIPE, Why::PIPE_CLOSED}, {EBADF, Why::NOT_OPEN}, {EIO, Why::DEVICE_ERROR},
    {EMFILE, Why::TOO_MANY_FILES}, {ENFILE, Why::TOO_MANY_FILES},
};

// Also the handler of the fault signals, which cannot wait for the game's next step.
[[noreturn]] void end_by_signal(int number)
{
    // The hang-up's signal may come before a read has found the terminal gone: a terminal that
    // has hung up takes nothing more.
    if (number == SIGHUP) {
        found_hung_up();
    }
    give_back_now();
    end_by_default(number);
}

// Gives the terminal back and ends by the signal that asked for an end, or stops by the one that
// asked for a stop, until continued.
void end_or_stop(Woken asked)
{
    if (asked == Woken::END) {
        end_by_signal(ending_signal());
    }
    give_back_now();
    stop_by_default(take_stop());
}

// The game's mode, then its screen. From the background the system stops the game as it takes
// the terminal (SIGTTOU), so the held signals are let in meanwhile: an end asked for then is
// answered (the shell's kill of a background job), and so is a stop, after which it tries again.
void take_terminal()
{
    for (;;) {
        int result = 0;
        const Woken asked = with_signals_let_in(set_game_mode, result);
        const int error = errno;
        if (asked == Woken::END || asked == Woken::STOP) {
            end_or_stop(asked);
            continue;
        }
        if (result == 0 || error != EINTR) {
            break;
        }
    }
    put_screen_on();
}

// The terminal has gone (a read found its end, or a write failed with EIO): this ends the game
// as the hang-up's signal does, unless that is ignored (as under nohup), and then there are no
// keys to read any more.
void terminal_gone()
{
    note_hung_up();
    if (!ignored(SIGHUP)) {
        end_by_signal(SIGHUP);
    }
}

// The quit and suspend keys reach the game only where the terminal sends them as sequences
// (CSI u and the like); they must then do what the terminal's own would, to the whole job.
bool sent_as_signal(const KeyCodes& key)
{
    if (key.count != 1) {
        return false;
    }
    const cc_t code = static_cast<cc_t>(key.codes[0]);
    const int number = code == terminal.game_mode.c_cc[VQUIT] ? SIGQUIT : code == terminal.game_mode.c_cc[VSUSP] ? SIGTSTP : 0;
    if (number == 0) {
        return false;
    }
    const pid_t group = tcgetpgrp(terminal.fd);
    if (group <= 0 || kill(-group, number) != 0) {
        raise(number);
    }
    return true;
}

enum class Event {
    KEY,     // a key press, in key
    ROOM,    // standard output takes more
    REDRAW,  // the screen must be drawn again from its start
    GONE,    // no key can be read any more
};

// Waits for a key (or, writing, for room on standard output), answering whatever the wait
// brings. The first key of a read is handed out at once; before a key typed ahead of it, the
// signals are let in, so that a stop or an end asked for meanwhile comes first.
Event next_event(bool writing, KeyCodes& key)
{
    bool checked = false;  // the signals were let in since the key at the front came
    for (;;) {
        const bool key_ready = !writing && key_waiting();
        if (key_ready && checked) {
            key = take_key();
            if (!sent_as_signal(key)) {
                return Event::KEY;
            }
            checked = false;
            continue;
        }
        const Woken woken = wait_for(writing ? STDOUT_FILENO : terminal.fd, writing, key_ready ? 0 : key_deadline());
        switch (woken) {
        case Woken::END:
        case Woken::STOP:
            end_or_stop(woken);
            take_terminal();
            if (terminal.output_is_terminal) {
                return Event::REDRAW;
            }
            break;
        case Woken::REDRAW:
            if (terminal.output_is_terminal) {
                return Event::REDRAW;
            }
            break;
        case Woken::TIMED_OUT:
            if (!key_ready) {
                take_front_as_it_stands();
            }
            checked = true;
            break;
        case Woken::READY:
            if (writing) {
                return Event::ROOM;
            }
            if (!key_ready && !read_keys(terminal.fd)) {
                if (errno == EIO) {
                    terminal_gone();
                }
                return Event::GONE;
            }
            checked = true;
            break;
        }
    }
}

int cannot_write(int error, Failure& failure)
{
    if (error == EIO && terminal.output_is_terminal) {
        terminal_gone();
        failure = NO_TERMINAL;
        return -1;
    }
    // A pipe that nobody reads ends the program by its signal, as it would anywhere else; the
    // write is told of it only where the signal is ignored.
    if (error == EPIPE && !ignored(SIGPIPE)) {
        end_by_signal(SIGPIPE);
    }
    failure = {CANNOT_WRITE, reason(ERROR_REASONS, error), error};
    return -1;
}

} // namespace

Failure take_console()
{
    const Failure failure = open_terminal();
    if (failure.what == nullptr) {
        catch_signals(end_by_signal);
        take_terminal();
    }
    return failure;
}

const char* clear_terminal(Failure&) { return terminal.output_is_terminal ? CLEAR : FORM_FEED; }

int write_some(const char* bytes, int length, Failure& failure)
{
    // An output that never keeps a write waiting is written at once, and waited for only when
    // full; one that may is waited for first, and given no more than a pipe takes at once once
    // it has room, so that the write never blocks with the signals held back.
    if (terminal.output_may_block && length > PIPE_BUF) {
        length = PIPE_BUF;
    }
    for (bool room = !terminal.output_may_block;; room = true) {
        if (room) {
            const ssize_t put = write(STDOUT_FILENO, bytes, static_cast<size_t>(length));
            if (put > 0) {
                return static_cast<int>(put);
            }
            if (put == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                return cannot_write(put == 0 ? EIO : errno, failure);
            }
        }
        KeyCodes none = NO_KEY;
        if (next_event(true, none) == Event::REDRAW) {
            return 0;
        }
    }
}

Input next_input()
{
    KeyCodes key = NO_KEY;
    switch (next_event(false, key)) {
    case Event::KEY:
        return {Input::KEY, key};
    case Event::GONE:
        return {Input::GONE, NO_KEY};
    default:
        return {Input::REDRAW, NO_KEY};
    }
}

void give_terminal_back() { give_back_now(); }

void write_error(const char* text, int length) { write_all(STDERR_FILENO, text, length); }
