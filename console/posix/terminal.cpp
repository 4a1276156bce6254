// The console on POSIX terminals. Keys come from /dev/tty in a raw mode kept for the whole game,
// so that type-ahead is never echoed; the game plays on the terminal's alternate screen; and
// whatever ends or stops the program gives the terminal back first. After a stop, or when the
// window changes size, the reader draws the current screen again.
#include "../terminal.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "../common/held_output.h"
#include "../common/messages.h"
#include "../common/platform.h"
#include "key_decoder.h"

namespace {

// What the game writes to the terminal besides its text.
constexpr char CLEAR[] = "\x1b[H\x1b[2J";  // cursor to the top left, erase the screen
// Taking the terminal, at the start and after each stop:
constexpr char GAME_SCREEN_ON[] =
    "\x1b[?1049h"        // xterm's alternate screen, cursor saved
    "\x1b[?1h\x1b="      // keypad transmit mode: cursor keys in application mode, application
                         // keypad; outside it st sends Insert, Delete, Shift+Home as no key
    "\x1b[?1036$p"       // the question what "meta sends escape" is set to (DECRQM)
    "\x1b[?1036h";       // meta sends escape: Alt+a as ESC a, not as a with its eighth bit set
// Giving it back, on every way out and on a stop: keypad transmit mode off, "meta sends escape"
// as the terminal said it was (off when it did not say), the player's screen and cursor.
constexpr char GAME_SCREEN_OFF[] = "\x1b[?1l\x1b>" "\x1b[?1036l" "\x1b[?1049l";
constexpr char GAME_SCREEN_OFF_META_SET[] = "\x1b[?1l\x1b>" "\x1b[?1036h" "\x1b[?1049l";
static_assert(sizeof GAME_SCREEN_OFF == sizeof GAME_SCREEN_OFF_META_SET, "one length, for the handlers");
// The terminal's answer to the question, which comes in with the keys whenever it comes: this,
// a digit (1 or 3 set, 2 or 4 reset, 0 unknown) and META_ANSWER_END.
constexpr char META_ANSWER[] = "\x1b[?1036;";
constexpr char META_ANSWER_END[] = "$y";
// Into a file, a form feed parts the screens, as the PC console's own clearing does.
constexpr char CLEAR_IN_FILE[] = "\f";

// How long the rest of a key's sequence may take to follow its first byte.
constexpr int SEQUENCE_WAIT_MS = 100;

// Signals whose default action ends the program and that a player or the system may send.
// Crashes (SIGSEGV, SIGABRT, ...) are left alone: the program is then past giving anything back.
constexpr int ENDING_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2};
// Signals after which the screen must be drawn again.
constexpr int REDRAW_SIGNALS[] = {SIGCONT, SIGWINCH};

// Everything the game changes on the terminal and needs to change it back. The signal handlers
// read it too: the two flags say what is to be given back at this moment. Outside the handlers,
// each flag changes together with what it tells of, with the handled signals held back, so that
// a handler never finds one without the other.
struct Terminal {
    int fd = -1;  // /dev/tty
    termios mode_as_found{};
    termios game_mode{};
    volatile sig_atomic_t game_mode_on = 0;
    volatile sig_atomic_t game_screen_on = 0;  // its switch has reached the terminal
    volatile sig_atomic_t player_meta_set = 0;  // as the terminal answered; unset without answer
    bool screen_switch_held = false;           // its switch waits in the held output
    bool output_is_terminal = false;
    // A signal that calls for the screen again writes a byte here; the key reader sees it.
    int wake_pipe[2] = {-1, -1};
    // Bytes read from the terminal and not yet made into a key.
    unsigned char input[MAX_KEY_BYTES * 2];
    int input_length = 0;
    // Set when the program already leaves with a message of its own, which a failing write must
    // not replace: when the terminal has gone, standard output has often gone with it.
    bool leaving = false;
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

// False, with errno saying why, when not every byte could be written.
bool write_all(int fd, const char* bytes, int length)
{
    while (length > 0) {
        const ssize_t put = write(fd, bytes, static_cast<size_t>(length));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Shared with a program that made it non-blocking: only full for now.
            pollfd room = {fd, POLLOUT, 0};
            poll(&room, 1, -1);
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

const char* reason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DISK_FULL;
    case EPIPE:
        return PIPE_CLOSED;
    case EBADF:
        return NOT_OPEN;
    case EIO:
        return DEVICE_ERROR;
    case EMFILE:
    case ENFILE:
        return TOO_MANY_FILES;
    default:
        return nullptr;
    }
}

void set_mode(const termios& mode)
{
    while (tcsetattr(terminal.fd, TCSANOW, &mode) != 0 && errno == EINTR) {
    }
}

// ---- Giving the terminal back: from the handlers, so async-signal-safe throughout.

const char* game_screen_off() { return terminal.player_meta_set ? GAME_SCREEN_OFF_META_SET : GAME_SCREEN_OFF; }

void give_terminal_back()
{
    if (terminal.game_screen_on) {
        const ssize_t ignored = write(STDOUT_FILENO, game_screen_off(), sizeof GAME_SCREEN_OFF - 1);
        static_cast<void>(ignored);
        terminal.game_screen_on = 0;
    }
    if (terminal.game_mode_on) {
        tcsetattr(terminal.fd, TCSANOW, &terminal.mode_as_found);
        terminal.game_mode_on = 0;
    }
}

void add_handled_signals(sigset_t& set)
{
    for (const int number : ENDING_SIGNALS) {
        sigaddset(&set, number);
    }
    for (const int number : REDRAW_SIGNALS) {
        sigaddset(&set, number);
    }
    sigaddset(&set, SIGTSTP);
}

// Holds the handled signals back until release_signals puts the mask found here back.
sigset_t hold_signals()
{
    sigset_t set;
    sigemptyset(&set);
    add_handled_signals(set);
    sigset_t before;
    sigprocmask(SIG_BLOCK, &set, &before);
    return before;
}

void release_signals(const sigset_t& before) { sigprocmask(SIG_SETMASK, &before, nullptr); }

void install(int number, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    // One handler at a time; and with SIGTTOU held, the mode can be restored even by a game that
    // was sent to the background.
    sigemptyset(&action.sa_mask);
    add_handled_signals(action.sa_mask);
    sigaddset(&action.sa_mask, SIGTTOU);
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, nullptr);
}

// Delivers the signal again with its default action, from inside its own handler.
void raise_by_default(int number)
{
    install(number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(number);
}

void wake_reader()
{
    const char byte = 0;
    const ssize_t ignored = write(terminal.wake_pipe[1], &byte, 1);  // a full pipe already says it
    static_cast<void>(ignored);
}

void on_ending_signal(int number)
{
    give_terminal_back();
    raise_by_default(number);
    _exit(128 + number);  // the default action did not end the program after all
}

void on_stop(int number)
{
    const int saved_errno = errno;
    give_terminal_back();
    raise_by_default(number);
    // Continued, or never stopped: in a process group that no shell looks after any more, the
    // system drops the stop. Either way the reader takes the terminal back. The next stop waits
    // until this handler has returned, held back here and let through again by the mask that
    // the return puts back: taken inside the handler, a storm of stops would nest it until the
    // stack ran out.
    sigset_t this_signal;
    sigemptyset(&this_signal);
    sigaddset(&this_signal, number);
    sigprocmask(SIG_BLOCK, &this_signal, nullptr);
    install(number, on_stop);
    wake_reader();
    errno = saved_errno;
}

void on_redraw_signal(int)
{
    const int saved_errno = errno;
    wake_reader();
    errno = saved_errno;
}

bool ignored(int number)
{
    struct sigaction current = {};
    return sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
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

bool make_wake_pipe()
{
    if (pipe(terminal.wake_pipe) != 0) {
        return false;
    }
    for (int& fd : terminal.wake_pipe) {
        fd = above_standard_ones(fd);
        if (fd < 0) {
            return false;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return true;
}

// Signals that were ignored when the game started stay ignored (nohup, background jobs).
void catch_signals()
{
    for (const int number : ENDING_SIGNALS) {
        if (!ignored(number)) {
            install(number, on_ending_signal);
        }
    }
    if (!ignored(SIGTSTP)) {
        install(SIGTSTP, on_stop);
    }
    for (const int number : REDRAW_SIGNALS) {
        install(number, on_redraw_signal);
    }
}

// The normal end, and every end with a message of the program's own. The handled signals are
// held back for good first, so that giving back is not cut in half; they are lost with the
// process.
void restore_console()
{
    hold_signals();
    // The last screen and the way back from it in one write.
    if (terminal.game_screen_on || terminal.screen_switch_held) {
        hold_output(game_screen_off());
    }
    send_held_output();
    terminal.game_screen_on = 0;
    give_terminal_back();
}

[[noreturn]] void leave_with_failure(const char* what, int error)
{
    restore_console();
    const FailureMessage message = failure_message(what, reason(error), error);
    write_all(STDERR_FILENO, message.text, message.length);
    std::_Exit(1);
}

// ---- Taking the terminal, at the start and again after a stop or a change of window size.

void take_terminal()
{
    const sigset_t before = hold_signals();
    set_mode(terminal.game_mode);
    terminal.game_mode_on = 1;
    release_signals(before);
    if (terminal.output_is_terminal && !terminal.game_screen_on && !terminal.screen_switch_held) {
        terminal.screen_switch_held = true;
        hold_output(GAME_SCREEN_ON);
    }
}

// After a stop the shell has had the terminal, and after a resize the window may have lost the
// screen: the game's mode and the current screen come back, just as they were.
void take_terminal_back()
{
    char bytes[64];
    while (read(terminal.wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
    take_terminal();
    if (terminal.output_is_terminal) {
        const ScreenText screen = screen_so_far();
        hold_output(CLEAR);
        hold_output(screen.text, screen.length);
        send_held_output();
    }
}

// ---- Reading keys.

// Bytes that are no key may be the terminal's answer on "meta sends escape".
void note_answer(const unsigned char* bytes, int length)
{
    const int start = static_cast<int>(sizeof META_ANSWER - 1);
    const int end = static_cast<int>(sizeof META_ANSWER_END - 1);
    if (length != start + 1 + end || std::memcmp(bytes, META_ANSWER, static_cast<size_t>(start)) != 0 ||
        std::memcmp(bytes + start + 1, META_ANSWER_END, static_cast<size_t>(end)) != 0) {
        return;
    }
    terminal.player_meta_set = bytes[start] == '1' || bytes[start] == '3';
}

long long now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Appends what the terminal has ready, waiting at most wait_ms (-1: as long as it takes).
// 1: bytes came; 0: none came in time; -1: the terminal gives no more keys.
int fill_input(int wait_ms)
{
    // A signal, or a redraw, on the way does not start the wait again: a resized window would
    // otherwise keep Escape waiting for the rest of a sequence for ever.
    const long long deadline = now_ms() + wait_ms;
    for (;;) {
        const long long left = deadline - now_ms();
        pollfd ready[2] = {{terminal.fd, POLLIN, 0}, {terminal.wake_pipe[0], POLLIN, 0}};
        const int polled = poll(ready, 2, wait_ms < 0 ? -1 : left > 0 ? static_cast<int>(left) : 0);
        if (polled < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (polled < 0) {
            return -1;
        }
        if (polled == 0) {
            return 0;
        }
        if (ready[1].revents != 0) {
            take_terminal_back();
        }
        if (ready[0].revents == 0) {
            continue;
        }
        // Also on a hang-up or an error: the read tells which.
        unsigned char* end = terminal.input + terminal.input_length;
        const ssize_t got = read(terminal.fd, end, sizeof terminal.input - static_cast<size_t>(terminal.input_length));
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            return -1;
        }
        terminal.input_length += static_cast<int>(got);
        return 1;
    }
}

} // namespace

// ---- The console operations.

void open_console()
{
    // With standard output closed, the game could only play blind.
    if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
        leave_with_failure(CANNOT_WRITE, EBADF);
    }
    do {
        terminal.fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    } while (terminal.fd < 0 && errno == EINTR);
    terminal.fd = above_standard_ones(terminal.fd);
    if (terminal.fd < 0 || tcgetattr(terminal.fd, &terminal.mode_as_found) != 0) {
        leave_without_terminal();
    }
    terminal.game_mode = mode_for_game(terminal.mode_as_found);
    terminal.output_is_terminal = isatty(STDOUT_FILENO) != 0;
    // Without it, nothing would take the terminal back after a stop.
    if (!make_wake_pipe()) {
        leave_with_failure(CANNOT_PREPARE, errno);
    }
    catch_signals();
    std::atexit(restore_console);
    take_terminal();
}

void clear_screen()
{
    hold_output(terminal.output_is_terminal ? CLEAR : CLEAR_IN_FILE);
    start_new_screen();
}

// ---- What the shared part asks of this platform.

void write_out(const char* bytes, int length)
{
    // The game's screen switch and its flag go together: a stop handled between the two would
    // leave the player on the game's screen, or switch back from a screen never switched to.
    // Only this write, at the start and after each stop, holds the signals back.
    const bool switching = terminal.screen_switch_held;
    const sigset_t before = switching ? hold_signals() : sigset_t{};
    const bool written = write_all(STDOUT_FILENO, bytes, length);
    const int error = errno;
    if (switching) {
        terminal.game_screen_on = 1;
        terminal.screen_switch_held = false;
        release_signals(before);
    }
    if (written || terminal.leaving) {
        return;
    }
    terminal.leaving = true;
    drop_held_output();
    // The terminal has hung up, as a read would soon tell too (a hang-up also sends SIGCONT,
    // which has the screen drawn again first).
    if (error == EIO && terminal.output_is_terminal) {
        leave_without_terminal();
    }
    // A pipe that nobody reads ends the program by its signal, as it would anywhere else; the
    // write is told of it only where the signal was ignored, or held back for the end.
    if (error == EPIPE && !ignored(SIGPIPE)) {
        restore_console();
        raise_by_default(SIGPIPE);
    }
    leave_with_failure(CANNOT_WRITE, error);
}

KeyCodes next_key_press()
{
    for (;;) {
        KeyPress key = decode_key(terminal.input, terminal.input_length, true);
        if (key.consumed == 0) {
            const int filled = fill_input(terminal.input_length == 0 ? -1 : SEQUENCE_WAIT_MS);
            if (filled < 0) {
                return NO_KEY;
            }
            if (filled > 0) {
                continue;
            }
            key = decode_key(terminal.input, terminal.input_length, false);
        }
        if (key.key.count == 0) {
            note_answer(terminal.input, key.consumed);
        }
        terminal.input_length -= key.consumed;
        std::memmove(terminal.input, terminal.input + key.consumed, static_cast<size_t>(terminal.input_length));
        if (key.key.count > 0) {
            return key.key;
        }
    }
}

void leave_without_terminal()
{
    terminal.leaving = true;
    restore_console();
    write_all(STDERR_FILENO, NO_TERMINAL_MESSAGE, sizeof NO_TERMINAL_MESSAGE - 1);
    std::_Exit(1);
}
