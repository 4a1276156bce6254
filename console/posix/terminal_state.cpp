#include "terminal_state.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TerminalState state;

// ---- What the game sends the terminal besides its text.

// Taking the terminal, at the start and after each stop: the alternate screen, cursor saved.
constexpr char SCREEN_ON[] = "\x1b[?1049h";
// On the terminal keys come from: keypad transmit mode (cursor keys in application mode,
// application keypad; outside it st sends Insert, Delete, Shift+Home as no key); "meta sends
// escape" (Alt+a as ESC a, not as a with its eighth bit set), saved first so that it goes back
// as it was without asking the terminal. Saved and restored on the game's own screen, so that a
// terminal that takes either for something else touches only that screen.
constexpr char KEYS_ON[] = "\x1b[?1h\x1b=\x1b[?1036s\x1b[?1036h";
// Giving it back, on every way out and on a stop: the key modes as found, then the player's
// screen and cursor.
constexpr char KEYS_OFF[] = "\x1b[?1l\x1b>\x1b[?1036r";
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
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    // Ctrl+C is a key like the others (code 3); Ctrl+\ and Ctrl+Z keep their signals, which must
    // not throw away what was typed before them.
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
        state.keys_on_output = true;
        return dup(state.fd);
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

// Waits until fd can take more: with no signal let in, since a fault's handler may be waiting.
void wait_for_room(int fd)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    pselect(fd + 1, nullptr, &set, nullptr, nullptr, nullptr);
}

} // namespace

const TerminalState& terminal = state;

Failure open_terminal()
{
    // With standard output closed, the game could only play blind.
    const int output_flags = fcntl(STDOUT_FILENO, F_GETFL);
    if (output_flags < 0) {
        return {CANNOT_WRITE, Why::NOT_OPEN, EBADF};
    }
    state.fd = above_standard_ones(open("/dev/tty", O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (state.fd < 0 && (errno == EMFILE || errno == ENFILE)) {
        return {CANNOT_PREPARE, Why::TOO_MANY_FILES, errno};
    }
    if (state.fd < 0 || tcgetattr(state.fd, &state.mode_as_found) != 0) {
        return NO_TERMINAL;
    }
    state.game_mode = mode_for_game(state.mode_as_found);
    state.output_is_terminal = isatty(STDOUT_FILENO) != 0;
    // A full output is then waited for with the signals let in, never inside a write.
    const int own = state.output_is_terminal ? own_opening(STDOUT_FILENO) : -1;
    if (own >= 0) {
        dup2(own, STDOUT_FILENO);
        close(own);
    } else {
        // A file never keeps a write waiting; a blocking pipe or device may, and is waited for
        // first, with the signals let in.
        struct stat output {};
        state.output_may_block =
            (output_flags & O_NONBLOCK) == 0 && !(fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode));
    }
    return NO_FAILURE;
}

int set_game_mode()
{
    const int result = tcsetattr(state.fd, TCSANOW, &state.game_mode);
    if (result == 0) {
        state.game_mode_on = 1;
    }
    return result;
}

void put_screen_on()
{
    if (!state.output_is_terminal || state.game_screen_on) {
        return;
    }
    Sequences on;
    add(on, SCREEN_ON);
    if (state.keys_on_output) {
        add(on, KEYS_ON);
    }
    state.game_screen_on = 1;
    write_all(STDOUT_FILENO, on.bytes, on.length);
}

void note_hung_up() { state.hung_up = 1; }

bool found_hung_up()
{
    char input[64];
    ssize_t got = 0;
    while ((got = read(state.fd, input, sizeof input)) > 0) {
    }
    if (got == 0 || errno == EIO) {
        state.hung_up = 1;
    }
    return state.hung_up != 0;
}

void give_back_now()
{
    // A terminal that has hung up takes nothing more.
    if (state.hung_up) {
        state.game_screen_on = 0;
        state.game_mode_on = 0;
        return;
    }
    if (state.game_screen_on) {
        Sequences off;
        if (state.keys_on_output) {
            add(off, KEYS_OFF);
        }
        add(off, SCREEN_OFF);
        write_all(STDOUT_FILENO, off.bytes, off.length);
        state.game_screen_on = 0;
    }
    if (state.game_mode_on) {
        tcsetattr(state.fd, TCSANOW, &state.mode_as_found);
        state.game_mode_on = 0;
    }
}

bool write_all(int fd, const char* bytes, int length)
{
    while (length > 0) {
        const ssize_t put = write(fd, bytes, static_cast<size_t>(length));
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            wait_for_room(fd);
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
