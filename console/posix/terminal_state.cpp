#include "terminal_state.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "signals.h"

TerminalState terminal;

namespace {

// ---- What the game sends the terminal besides its text.

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

termios mode_for_game(termios mode)
{
    // Keys one at a time, unechoed, untranslated: Enter is 13 and Ctrl+S, Ctrl+Q reach the game.
    mode.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
    // Ctrl+C is a key like the others (code 3); Ctrl+\ and Ctrl+Z keep their signals, which must
    // not throw away what was typed before them, nor the terminal's answers.
    mode.c_lflag |= NOFLSH;
    mode.c_cc[VINTR] = _POSIX_VDISABLE;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    return mode;
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

} // namespace

Failure open_terminal()
{
    // With standard output closed, the game could only play blind.
    if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
        return {CANNOT_WRITE, Why::NOT_OPEN, EBADF};
    }
    terminal.fd = above_standard_ones(open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (terminal.fd < 0 && (errno == EMFILE || errno == ENFILE)) {
        return {CANNOT_PREPARE, Why::TOO_MANY_FILES, errno};
    }
    if (terminal.fd < 0 || tcgetattr(terminal.fd, &terminal.mode_as_found) != 0) {
        return NO_TERMINAL;
    }
    terminal.game_mode = mode_for_game(terminal.mode_as_found);
    terminal.output_is_terminal = isatty(STDOUT_FILENO) != 0;
    // A full output is then waited for with the signals let in, never inside a write.
    const int own = terminal.output_is_terminal ? own_opening(STDOUT_FILENO) : -1;
    if (own >= 0) {
        dup2(own, STDOUT_FILENO);
        close(own);
    }
    return NO_FAILURE;
}

int set_game_mode()
{
    const int result = tcsetattr(terminal.fd, TCSANOW, &terminal.game_mode);
    if (result == 0) {
        terminal.game_mode_on = 1;
    }
    return result;
}

bool put_screen_on()
{
    if (!terminal.output_is_terminal || terminal.game_screen_on) {
        return false;
    }
    const bool asking = terminal.keys_on_output && !terminal.asked;
    Sequences on;
    add(on, SCREEN_ON);
    if (terminal.keys_on_output) {
        add(on, KEYPAD_ON);
        if (asking) {
            add(on, QUESTIONS);
        }
        add(on, META_ON);
    }
    terminal.asked = terminal.asked || asking;
    terminal.game_screen_on = 1;
    write_all(STDOUT_FILENO, on.bytes, on.length);
    return asking;
}

bool hung_up()
{
    pollfd state = {terminal.fd, 0, 0};
    return terminal.fd >= 0 && poll(&state, 1, 0) > 0 && (state.revents & POLLHUP) != 0;
}

void give_back_now()
{
    // A terminal that has hung up takes nothing more.
    if (hung_up()) {
        terminal.game_screen_on = 0;
        terminal.game_mode_on = 0;
        return;
    }
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
