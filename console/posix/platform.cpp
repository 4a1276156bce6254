// The console on POSIX terminals, as the shared part asks for it. Keys come from /dev/tty in a
// raw mode kept for the whole game, so that type-ahead is never echoed; the game plays on the
// terminal's alternate screen; and whatever ends or stops the program gives the terminal back
// first, with nothing of the game's reaching the player's screen after it.
//
// Signals are answered here, between two steps of the game (see signals.h): an end, a stop, a
// screen to draw again.
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
    // A terminal that has hung up has nothing more to say.
    if (number != SIGHUP) {
        wait_for_answers();
    }
    give_back_now();
    end_by_default(number);
}

// At once, so that no shell finds the game still holding the terminal after the stop it saw
// (a wrapper such as faketime stops at the same moment): answers still on their way are taken
// when the game has the terminal again.
void stop_now(int number)
{
    take_answers_come();
    give_back_now();
    stop_by_default(number);
}

// Answers an end or a stop the signals let in asked for. True when the game was stopped, and
// has the terminal no more.
bool answer_end_or_stop()
{
    if (ending_signal() != 0) {
        end_by_signal(ending_signal());
    }
    const int stop = take_stop();
    if (stop != 0) {
        stop_now(stop);
    }
    return stop != 0;
}

// The game's mode, then its screen. From the background the system stops the game as it takes
// the terminal (SIGTTOU), so the held signals are let in meanwhile: an end asked for then is
// answered (the shell's kill of a background job), and so is a stop, after which it tries again.
void take_terminal()
{
    for (;;) {
        const int result = with_signals_let_in(set_game_mode);
        const int error = errno;
        if (!answer_end_or_stop() && (result == 0 || error != EINTR)) {
            break;
        }
    }
    take_redraw();  // the screen is drawn whole from here anyway
    if (put_screen_on()) {
        expect_answers();
    }
}

// Answers what the signals let in asked for. True when the screen must be drawn again.
bool answer_signals()
{
    bool redraw = take_redraw();
    if (answer_end_or_stop()) {
        take_terminal();
        redraw = true;
    }
    return redraw && terminal.output_is_terminal;
}

// The terminal is gone: a hang-up ends the game as its signal does, unless that is ignored (as
// under nohup), and then there are no keys to read any more.
void terminal_gone()
{
    if (hung_up() && !ignored(SIGHUP)) {
        end_by_signal(SIGHUP);
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

// The quit and suspend keys reach the game only where the terminal sends them as sequences
// (CSI u and the like); they must then do what the terminal's own would.
int signal_of_key(const KeyCodes& key)
{
    if (key.count != 1) {
        return 0;
    }
    if (key.codes[0] == terminal.game_mode.c_cc[VQUIT]) {
        return SIGQUIT;
    }
    return key.codes[0] == terminal.game_mode.c_cc[VSUSP] ? SIGTSTP : 0;
}

void send_to_foreground(int number)
{
    const pid_t group = tcgetpgrp(terminal.fd);
    if (group <= 0 || kill(-group, number) != 0) {
        raise(number);
    }
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

const char* clear_terminal() { return terminal.output_is_terminal ? CLEAR : FORM_FEED; }

int write_some(const char* bytes, int length, Failure& failure)
{
    for (;;) {
        if (wait_for(STDOUT_FILENO, true, -1) == Woken::SIGNALLED) {
            if (answer_signals()) {
                return 0;
            }
            continue;
        }
        // No more than a pipe takes at once once it has room, so that even a blocking one never
        // blocks with the signals held back.
        const ssize_t put = write(STDOUT_FILENO, bytes, static_cast<size_t>(length < PIPE_BUF ? length : PIPE_BUF));
        if (put > 0) {
            return static_cast<int>(put);
        }
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        }
        return cannot_write(put == 0 ? EIO : errno, failure);
    }
}

Input next_input()
{
    for (;;) {
        // Also before a key typed ahead, so that a stop or an end asked for comes before it.
        const Woken woken = wait_for(terminal.fd, false, key_waiting() ? 0 : key_deadline());
        if (woken == Woken::SIGNALLED) {
            if (answer_signals()) {
                return {Input::REDRAW, NO_KEY};
            }
            continue;
        }
        if (key_waiting()) {
            const KeyCodes key = take_key();
            const int signal_number = signal_of_key(key);
            if (signal_number == 0) {
                return {Input::KEY, key};
            }
            send_to_foreground(signal_number);
        } else if (woken == Woken::READY && !read_keys()) {
            terminal_gone();
            return {Input::GONE, NO_KEY};
        } else if (woken == Woken::TIMED_OUT) {
            take_front_as_it_stands();
        }
    }
}

void give_terminal_back()
{
    wait_for_answers();
    give_back_now();
}

void write_error(const char* text, int length) { write_all(STDERR_FILENO, text, length); }
