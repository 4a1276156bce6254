// The console on POSIX terminals. Keys come from /dev/tty in a raw mode kept for the whole game,
// so that type-ahead is never echoed; the game plays on the terminal's alternate screen; and
// whatever ends or stops the program gives the terminal back first, with nothing of the game's
// reaching the player's screen after it.
//
// Signals are answered between two steps of the game, never inside one: those that come from
// outside are held back except while the game waits, for a key or for room to write, and the
// wait answers them. Only the signals of a fault, which cannot wait, give the terminal back from
// their handler.
#include "../terminal.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

#include "../common/messages.h"
#include "../common/platform.h"
#include "key_decoder.h"

namespace {

// ---- What the game sends the terminal besides its text.

constexpr char CLEAR[] = "\x1b[H\x1b[2J";  // cursor to the top left, erase the screen
// Taking the terminal, at the start and after each stop: the alternate screen, cursor saved.
constexpr char SCREEN_ON[] = "\x1b[?1049h";
// On the terminal keys come from: keypad transmit mode (cursor keys in application mode,
// application keypad; outside it st sends Insert, Delete, Shift+Home as no key).
constexpr char KEYPAD_ON[] = "\x1b[?1h\x1b=";
// Asked there once, when the game first takes it: what "meta sends escape" is set to (DECRQM),
// then the device attributes, which every terminal answers, and answers last.
constexpr char QUESTIONS[] = "\x1b[?1036$p\x1b[c";
// Meta sends escape: Alt+a as ESC a, not as a with its eighth bit set.
constexpr char META_ON[] = "\x1b[?1036h";
// Giving it back, on every way out and on a stop: keypad transmit mode off, "meta sends
// escape" as the terminal said it was (off when it did not say), the player's screen and cursor.
constexpr char KEYPAD_OFF[] = "\x1b[?1l\x1b>";
constexpr char META_OFF[] = "\x1b[?1036l";
constexpr char SCREEN_OFF[] = "\x1b[?1049l";

// How long the rest of a key's sequence may take to follow its first byte.
constexpr int SEQUENCE_WAIT_MS = 100;
// How long the answers to the questions may take, once the game wants the terminal's input
// back: a terminal that answers nothing, a serial line, costs this once.
constexpr int ANSWER_WAIT_MS = 1000;

// The errors a player can act on.
constexpr ErrorReason ERROR_REASONS[] = {
    {ENOSPC, Why::DISK_FULL}, {EDQUOT, Why::DISK_FULL}, {EFBIG, Why::DISK_FULL},
    {EPIPE, Why::PIPE_CLOSED}, {EBADF, Why::NOT_OPEN}, {EIO, Why::DEVICE_ERROR},
    {EMFILE, Why::TOO_MANY_FILES}, {ENFILE, Why::TOO_MANY_FILES},
};

// Signals whose default action ends the program and that may come from outside: held back but
// while the game waits, then answered by giving the terminal back and ending by the same signal.
constexpr int ENDING_SIGNALS[] = {
    SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF,
#ifdef SIGIO
    SIGIO,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};
// Signals of a fault in the program, or of a write past the file size limit: they cannot wait
// for the game's next step.
constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT, SIGXFSZ};

// Everything the game changes on the terminal and needs to change it back, and what the
// signals asked for. A fault's handler reads the two flags that say what is to be given back.
struct Terminal {
    int fd = -1;  // /dev/tty
    termios mode_as_found{};
    termios game_mode{};
    bool output_is_terminal = false;  // the game's screen goes to a terminal
    bool keys_on_output = false;      // the very terminal keys come from: its key modes are set
    volatile sig_atomic_t game_mode_on = 0;
    volatile sig_atomic_t game_screen_on = 0;
    volatile sig_atomic_t meta_was_set = 0;  // as the terminal answered; unset without an answer
    int answers_due = 0;                     // device attributes asked for and not come yet
    sigset_t held;                           // the signals held back between the game's waits
    sigset_t let_in;                         // the mask while it waits
    volatile sig_atomic_t ending_signal = 0;
    volatile sig_atomic_t stop_asked = 0;
    volatile sig_atomic_t redraw_asked = 0;
    // Bytes read from the terminal and not yet made into a key.
    unsigned char input[MAX_KEY_BYTES * 2];
    int input_length = 0;
    long long key_deadline = -1;  // for the rest of a key begun in input
};

Terminal terminal;

termios mode_for_game(termios mode)
{
    // Keys one at a time, unechoed, untranslated: Enter is 13 and Ctrl+S, Ctrl+Q reach the game.
    mode.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    // Ctrl+C is a key like the others (code 3); Ctrl+\ and Ctrl+Z keep their signals.
    mode.c_cc[VINTR] = _POSIX_VDISABLE;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    return mode;
}

long long now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// ---- Writing whole, also from a fault's handler: async-signal-safe.

// False, with errno saying why, when not every byte could be written. A full output, also one
// that another program made non-blocking, is waited for.
bool write_all(int fd, const char* bytes, int length)
{
    while (length > 0) {
        const ssize_t put = write(fd, bytes, static_cast<size_t>(length));
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd room = {fd, POLLOUT, 0};
            poll(&room, 1, -1);
            continue;
        }
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes += put;
        length -= static_cast<int>(put);
    }
    return true;
}

// A few sequences sent as one write.
struct Sequences {
    char bytes[64];
    int length = 0;
};

void add(Sequences& to, const char* sequence)
{
    for (; *sequence != '\0'; ++sequence) {
        to.bytes[to.length++] = *sequence;
    }
}

// Blocks or unblocks the one signal; the mask as it was before.
sigset_t mask_signal(int how, int number)
{
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    sigset_t before;
    sigprocmask(how, &only, &before);
    return before;
}

// ---- Giving the terminal back.

void give_back_now()
{
    // With SIGTTOU held, a game that was sent to the background can still give it back.
    const sigset_t before = mask_signal(SIG_BLOCK, SIGTTOU);
    if (terminal.game_screen_on) {
        Sequences off;
        if (terminal.keys_on_output) {
            add(off, KEYPAD_OFF);
            add(off, terminal.meta_was_set ? META_ON : META_OFF);
        }
        add(off, SCREEN_OFF);
        write_all(STDOUT_FILENO, off.bytes, off.length);
        terminal.game_screen_on = 0;
    }
    if (terminal.game_mode_on) {
        tcsetattr(terminal.fd, TCSANOW, &terminal.mode_as_found);
        terminal.game_mode_on = 0;
    }
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Forgets length bytes of the input, from at.
void drop_input(int at, int length)
{
    terminal.input_length -= length;
    std::memmove(terminal.input + at, terminal.input + at + length, static_cast<size_t>(terminal.input_length - at));
}

// Takes the answers to the game's questions out of the bytes read, wherever they came among
// the keys, and notes them.
void take_answers()
{
    int at = 0;
    while (at < terminal.input_length) {
        const KeyPress key = decode_key(terminal.input + at, terminal.input_length - at, true);
        if (key.consumed == 0) {
            return;  // the rest has not come yet
        }
        if (key.answer == Answer::NONE) {
            at += key.consumed;
            continue;
        }
        if (key.answer != Answer::DEVICE_ATTRIBUTES) {
            terminal.meta_was_set = key.answer == Answer::META_SET;
        } else if (terminal.answers_due > 0) {
            --terminal.answers_due;
        }
        drop_input(at, key.consumed);
    }
}

// Appends what the terminal has ready. False when it gives no more.
bool read_input()
{
    const int room = static_cast<int>(sizeof terminal.input) - terminal.input_length;
    const ssize_t got = read(terminal.fd, terminal.input + terminal.input_length, static_cast<size_t>(room));
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
        return true;
    }
    if (got <= 0) {
        return false;
    }
    terminal.input_length += static_cast<int>(got);
    return true;
}

// Reads the answers still on their way, with the game's mode still on so that they are not
// echoed, before the shell or the next program can take them for its own input. Keys read
// meanwhile stay for the game. A terminal that has not answered in time answers nothing.
void wait_for_answers()
{
    const long long deadline = now_ms() + ANSWER_WAIT_MS;
    for (take_answers(); terminal.answers_due > 0; take_answers()) {
        const long long left = deadline - now_ms();
        pollfd ready = {terminal.fd, POLLIN, 0};
        if (left <= 0 || poll(&ready, 1, static_cast<int>(left)) == 0) {
            break;
        }
        if (terminal.input_length == static_cast<int>(sizeof terminal.input)) {
            drop_input(0, decode_key(terminal.input, terminal.input_length, false).consumed);  // no room: the oldest key goes
        }
        if ((ready.revents & POLLIN) == 0 || !read_input()) {
            break;
        }
    }
    terminal.answers_due = 0;
}

// ---- Signals.

void install(int number, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_mask = terminal.held;  // one handler at a time
    sigaction(number, &action, nullptr);
}

// Takes the signal's default action: ending the program, core dump and all, or stopping it.
void take_default_action(int number)
{
    install(number, SIG_DFL);
    raise(number);
    mask_signal(SIG_UNBLOCK, number);
}

[[noreturn]] void end_by_default(int number)
{
    take_default_action(number);
    _exit(128 + number);  // the default action did not end the program after all
}

void note_signal(int number)
{
    if (number == SIGTSTP) {
        terminal.stop_asked = 1;
    } else if (number == SIGCONT || number == SIGWINCH) {
        terminal.redraw_asked = 1;
    } else {
        terminal.ending_signal = number;
    }
}

[[noreturn]] void end_by_signal(int number);

bool ignored(int number)
{
    struct sigaction current = {};
    return sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

void hold_signal(int number)
{
    if (!ignored(number)) {
        sigaddset(&terminal.held, number);
    }
}

// Signals that were ignored when the game started stay ignored (nohup, background jobs).
void catch_signals()
{
    sigemptyset(&terminal.held);
    for (const int number : ENDING_SIGNALS) {
        hold_signal(number);
    }
#ifdef SIGRTMIN
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) {
        hold_signal(number);
    }
#endif
    hold_signal(SIGTSTP);
    sigaddset(&terminal.held, SIGCONT);
    sigaddset(&terminal.held, SIGWINCH);
    sigprocmask(SIG_BLOCK, &terminal.held, &terminal.let_in);
    for (int number = 1; number < NSIG; ++number) {
        if (sigismember(&terminal.held, number) == 1) {
            sigdelset(&terminal.let_in, number);
            install(number, note_signal);
        }
    }
    for (const int number : FAULT_SIGNALS) {
        if (!ignored(number)) {
            install(number, end_by_signal);
        }
    }
}

// Lets the signals held back so far in, and their handlers note them.
void let_signals_in()
{
    const timespec now = {0, 0};
    pselect(0, nullptr, nullptr, nullptr, &now, &terminal.let_in);
}

// Also the handler of the fault signals, which cannot wait for the game's next step; what it
// calls is async-signal-safe.
void end_by_signal(int number)
{
    // A terminal that has hung up has nothing more to say.
    if (number != SIGHUP) {
        wait_for_answers();
    }
    give_back_now();
    end_by_default(number);
}

// Stops as the shell asked, the terminal given back. Continued, or never stopped (in a process
// group that no shell looks after any more the system drops the stop), the game goes on.
void stop()
{
    give_terminal_back();
    take_default_action(SIGTSTP);
    mask_signal(SIG_BLOCK, SIGTSTP);
    install(SIGTSTP, note_signal);
    // The screen is drawn again once, however it was continued or resized meanwhile: an ignored
    // signal that waits is dropped.
    for (const int number : {SIGCONT, SIGWINCH}) {
        install(number, SIG_IGN);
        install(number, note_signal);
    }
}

void set_mode(const termios& mode)
{
    while (tcsetattr(terminal.fd, TCSANOW, &mode) != 0 && errno == EINTR) {
    }
}

// The game's mode, and its screen if it is not there.
void take_terminal(bool first)
{
    set_mode(terminal.game_mode);
    terminal.game_mode_on = 1;
    if (!terminal.output_is_terminal || terminal.game_screen_on) {
        return;
    }
    Sequences on;
    add(on, SCREEN_ON);
    if (terminal.keys_on_output) {
        add(on, KEYPAD_ON);
        if (first) {
            add(on, QUESTIONS);
            terminal.answers_due = 1;
        }
        add(on, META_ON);
    }
    terminal.game_screen_on = 1;
    write_all(STDOUT_FILENO, on.bytes, on.length);
}

// Answers what the signals let in asked for. True when the screen must be drawn again.
bool answer_signals()
{
    bool taken_back = terminal.redraw_asked != 0;
    terminal.redraw_asked = 0;
    while (terminal.ending_signal == 0 && terminal.stop_asked != 0) {
        terminal.stop_asked = 0;
        stop();
        let_signals_in();  // an end asked for while stopped comes before taking the terminal again
        taken_back = true;
    }
    if (terminal.ending_signal != 0) {
        end_by_signal(terminal.ending_signal);
    }
    if (taken_back) {
        take_terminal(false);
    }
    return taken_back && terminal.output_is_terminal;
}

enum class Woken { READY, TIMED_OUT, REDRAW };

// Waits, with the held signals let in, until fd can be read (or written), or the deadline
// (-1: none) passes.
Woken wait_for(int fd, bool writing, long long deadline)
{
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timespec timeout = {0, 0};
        if (deadline >= 0) {
            const long long left = deadline - now_ms();
            if (left > 0) {
                timeout = {static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000};
            }
        }
        const int ready = pselect(fd + 1, writing ? nullptr : &set, writing ? &set : nullptr, nullptr,
                                  deadline >= 0 ? &timeout : nullptr, &terminal.let_in);
        if (ready > 0) {
            return Woken::READY;
        }
        if (ready == 0) {
            return Woken::TIMED_OUT;
        }
        if (errno != EINTR) {
            return Woken::READY;  // the read or write will tell what is wrong
        }
        if (answer_signals()) {
            return Woken::REDRAW;
        }
    }
}

[[noreturn]] void cannot_write(int error)
{
    // The terminal has hung up, as a read would soon tell too.
    if (error == EIO && terminal.output_is_terminal) {
        leave_without_terminal();
    }
    // A pipe that nobody reads ends the program by its signal, as it would anywhere else; the
    // write is told of it only where the signal is ignored.
    if (error == EPIPE && !ignored(SIGPIPE)) {
        end_by_signal(SIGPIPE);
    }
    leave(CANNOT_WRITE, reason(ERROR_REASONS, error), error);
}

// The terminal named by fd, opened anew, so that making it non-blocking changes nothing for the
// other programs that write to it. -1 when it cannot be.
int own_opening(int fd)
{
    // The terminal keys come from is the session's own, which /dev/tty names.
    if (tcgetsid(fd) == getsid(0)) {
        terminal.keys_on_output = true;
        return dup(terminal.fd);
    }
    const char* name = ttyname(fd);
    return name != nullptr ? open(name, O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
}

// A descriptor of the program's own never takes the number of a standard one that was closed at
// start: whatever is written to standard output or error would go to it.
int above_standard_ones(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO) {
        return fd;
    }
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    close(fd);
    errno = error;
    return moved;
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

// ---- What the shared part asks of this platform.

void take_console()
{
    // With standard output closed, the game could only play blind.
    if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
        leave(CANNOT_WRITE, Why::NOT_OPEN, EBADF);
    }
    do {
        terminal.fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (terminal.fd < 0 && errno == EINTR);
    terminal.fd = above_standard_ones(terminal.fd);
    if (terminal.fd < 0 && (errno == EMFILE || errno == ENFILE)) {
        leave(CANNOT_PREPARE, Why::TOO_MANY_FILES, errno);
    }
    if (terminal.fd < 0 || tcgetattr(terminal.fd, &terminal.mode_as_found) != 0) {
        leave_without_terminal();
    }
    terminal.game_mode = mode_for_game(terminal.mode_as_found);
    terminal.output_is_terminal = isatty(STDOUT_FILENO) != 0;
    // Standard output becomes the game's own opening of its terminal, which never blocks: a
    // full output is waited for with the signals let in.
    const int own = terminal.output_is_terminal ? own_opening(STDOUT_FILENO) : -1;
    if (own >= 0) {
        dup2(own, STDOUT_FILENO);
        close(own);
    }
    catch_signals();
    take_terminal(true);
}

bool output_is_terminal() { return terminal.output_is_terminal; }

const char* clear_terminal() { return CLEAR; }

int write_some(const char* bytes, int length)
{
    for (;;) {
        if (wait_for(STDOUT_FILENO, true, -1) == Woken::REDRAW) {
            return 0;
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
        cannot_write(put == 0 ? EIO : errno);
    }
}

Input next_input()
{
    for (;;) {
        take_answers();
        KeyPress key = decode_key(terminal.input, terminal.input_length, true);
        if (key.consumed == 0) {
            // A signal, or a redraw, on the way does not start the wait for the rest of a key
            // again: a resized window would otherwise keep Escape waiting for ever.
            if (terminal.input_length > 0 && terminal.key_deadline < 0) {
                terminal.key_deadline = now_ms() + SEQUENCE_WAIT_MS;
            }
            switch (wait_for(terminal.fd, false, terminal.key_deadline)) {
            case Woken::REDRAW:
                return {Input::REDRAW, NO_KEY};
            case Woken::READY:
                if (!read_input()) {
                    return {Input::GONE, NO_KEY};
                }
                continue;
            case Woken::TIMED_OUT:
                key = decode_key(terminal.input, terminal.input_length, false);
                break;
            }
        }
        drop_input(0, key.consumed);
        terminal.key_deadline = -1;
        if (key.key.count == 0) {
            continue;
        }
        const int signal_number = signal_of_key(key.key);
        if (signal_number != 0) {
            send_to_foreground(signal_number);
            continue;  // the next wait lets it in
        }
        return {Input::KEY, key.key};
    }
}

void give_terminal_back()
{
    wait_for_answers();
    give_back_now();
}

void write_error(const char* text, int length) { write_all(STDERR_FILENO, text, length); }
