// The console on POSIX terminals: keys come from /dev/tty in a raw mode kept for the whole game
// (so type-ahead is never echoed), the game plays on the terminal's alternate screen, and what it
// writes leaves in one write per wait for a key.
#include "terminal.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "key_decoder.h"

namespace {

constexpr char ENTER_GAME_SCREEN[] = "\x1b[?1049h";
constexpr char LEAVE_GAME_SCREEN[] = "\x1b[?1049l";
constexpr char CLEAR[] = "\x1b[H\x1b[2J";
// Into a file, a form feed parts the screens, as the PC console's own clearing does.
constexpr char CLEAR_IN_FILE[] = "\f";
// How long the rest of a key's sequence may take to follow its first byte.
constexpr int SEQUENCE_WAIT_MS = 100;

int tty_fd = -1;
termios saved_mode;
bool mode_changed = false;
bool output_is_terminal = false;
bool on_game_screen = false;

// Text not yet sent. A whole screen fits, so each one leaves in a single write.
char pending[16384];
int pending_length = 0;

unsigned char input[MAX_KEY_BYTES * 2];
int input_length = 0;
int queued_code = -1;  // the second code of a cursor or function key

void write_all(int fd, const char* bytes, int length)
{
    while (length > 0) {
        const ssize_t put = write(fd, bytes, static_cast<size_t>(length));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return;  // nowhere left to write to; the game goes on without a screen
        }
        bytes += put;
        length -= static_cast<int>(put);
    }
}

void send_pending()
{
    write_all(STDOUT_FILENO, pending, pending_length);
    pending_length = 0;
}

void hold(const char* bytes, int length)
{
    if (length > static_cast<int>(sizeof pending) - pending_length) {
        send_pending();
    }
    if (length > static_cast<int>(sizeof pending)) {
        write_all(STDOUT_FILENO, bytes, length);
        return;
    }
    std::memcpy(pending + pending_length, bytes, static_cast<size_t>(length));
    pending_length += length;
}

void hold(const char* text) { hold(text, static_cast<int>(std::strlen(text))); }

void restore_console()
{
    if (on_game_screen) {
        hold(LEAVE_GAME_SCREEN);
        on_game_screen = false;
    }
    send_pending();
    if (mode_changed) {
        tcsetattr(tty_fd, TCSANOW, &saved_mode);
        mode_changed = false;
    }
}

termios game_mode(termios mode)
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

// Appends what the terminal has ready, waiting at most wait_ms (-1: as long as it takes).
// 1: bytes came; 0: none came in time; -1: the terminal is gone.
int fill_input(int wait_ms)
{
    for (;;) {
        pollfd ready = {tty_fd, POLLIN, 0};
        const int polled = poll(&ready, 1, wait_ms);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled == 0) {
            return 0;
        }
        const ssize_t got = read(tty_fd, input + input_length, sizeof input - static_cast<size_t>(input_length));
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            return -1;
        }
        input_length += static_cast<int>(got);
        return 1;
    }
}

} // namespace

bool open_console()
{
    tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty_fd < 0 || tcgetattr(tty_fd, &saved_mode) != 0) {
        return false;
    }
    std::atexit(restore_console);
    const termios mode = game_mode(saved_mode);
    if (tcsetattr(tty_fd, TCSANOW, &mode) != 0) {
        return false;
    }
    mode_changed = true;
    output_is_terminal = isatty(STDOUT_FILENO) != 0;
    if (output_is_terminal) {
        hold(ENTER_GAME_SCREEN);
        on_game_screen = true;
    }
    return true;
}

void clear_screen() { hold(output_is_terminal ? CLEAR : CLEAR_IN_FILE); }

void print_text(const char* format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length > 0) {
        hold(text, length < static_cast<int>(sizeof text) ? length : static_cast<int>(sizeof text) - 1);
    }
}

int read_key()
{
    if (queued_code >= 0) {
        const int code = queued_code;
        queued_code = -1;
        return code;
    }
    send_pending();
    for (;;) {
        KeyPress key = decode_key(input, input_length, true);
        if (key.consumed == 0) {
            const int filled = fill_input(input_length == 0 ? -1 : SEQUENCE_WAIT_MS);
            if (filled < 0) {
                return -1;
            }
            if (filled > 0) {
                continue;
            }
            key = decode_key(input, input_length, false);
        }
        input_length -= key.consumed;
        std::memmove(input, input + key.consumed, static_cast<size_t>(input_length));
        if (key.count == 0) {
            continue;
        }
        if (key.count == 2) {
            queued_code = key.codes[1];
        }
        return key.codes[0];
    }
}

void leave_without_terminal()
{
    restore_console();
    static const char message[] = "sminatore: serve un terminale da cui leggere i tasti.\n";
    write_all(STDERR_FILENO, message, sizeof message - 1);
    std::_Exit(1);
}
