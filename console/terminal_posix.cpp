// The console on POSIX terminals: keys come from /dev/tty in a raw mode kept for the whole game
// (so type-ahead is never echoed), the game plays on the terminal's alternate screen, and what it
// writes leaves in one write per wait for a key. A copy of the current screen is kept, to draw
// it again after a stop or a change of window size.
#include "terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "terminal_shared.h"
#include "key_decoder.h"
#include "signals_posix.h"

namespace {

constexpr char CLEAR[] = "\x1b[H\x1b[2J";
// Into a file, a form feed parts the screens, as the PC console's own clearing does.
constexpr char CLEAR_IN_FILE[] = "\f";
// How long the rest of a key's sequence may take to follow its first byte.
constexpr int SEQUENCE_WAIT_MS = 100;

int tty_fd = -1;
int wake_fd = -1;
termios player_mode;
termios playing_mode;
bool mode_changed = false;
bool output_is_terminal = false;

// Everything written since the screen was last cleared. When it outgrows the buffer, its oldest
// lines go: by then they have scrolled off any window.
char screen_copy[16384];
int screen_length = 0;

unsigned char input[MAX_KEY_BYTES * 2];
int input_length = 0;

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

void set_mode(const termios& mode)
{
    while (tcsetattr(tty_fd, TCSANOW, &mode) != 0 && errno == EINTR) {
    }
}

void remember(const char* bytes, int length)
{
    const int room = static_cast<int>(sizeof screen_copy);
    if (length >= room) {
        bytes += length - room;
        length = room;
        screen_length = 0;
    }
    if (screen_length + length > room) {
        const char* kept = screen_copy + (screen_length + length - room);
        const char* end = screen_copy + screen_length;
        while (kept < end && *kept++ != '\n') {
        }
        screen_length = static_cast<int>(end - kept);
        std::memmove(screen_copy, kept, static_cast<size_t>(screen_length));
    }
    std::memcpy(screen_copy + screen_length, bytes, static_cast<size_t>(length));
    screen_length += length;
}

void restore_console()
{
    hold_signals();
    if (game_screen_shown()) {
        hold_output(game_screen_off());
        mark_game_screen_shown(false);
    }
    send_held_output();
    if (mode_changed) {
        mark_mode_taken(false);
        set_mode(player_mode);
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

// After a stop the shell has had the terminal, and after a resize the window may have lost the
// screen: the game's mode and the current screen come back, just as they were.
void take_terminal_back()
{
    clear_wake_up();
    mark_mode_taken(true);
    set_mode(playing_mode);
    if (!output_is_terminal) {
        return;
    }
    send_held_output();
    if (!game_screen_shown()) {
        mark_game_screen_shown(true);
        hold_output(GAME_SCREEN_ON);
    }
    hold_output(CLEAR);
    hold_output(screen_copy, screen_length);
    send_held_output();
}

// Bytes that are no key may be the terminal's answer on "meta sends escape".
void note_answer(const unsigned char* bytes, int length)
{
    const int start = static_cast<int>(sizeof META_ANSWER - 1);
    const int end = static_cast<int>(sizeof META_ANSWER_END - 1);
    if (length != start + 1 + end || std::memcmp(bytes, META_ANSWER, static_cast<size_t>(start)) != 0 ||
        std::memcmp(bytes + start + 1, META_ANSWER_END, static_cast<size_t>(end)) != 0) {
        return;
    }
    mark_player_meta_set(bytes[start] == '1' || bytes[start] == '3');
}

// Appends what the terminal has ready, waiting at most wait_ms (-1: as long as it takes).
// 1: bytes came; 0: none came in time; -1: the terminal gives no more keys.
int fill_input(int wait_ms)
{
    for (;;) {
        pollfd ready[2] = {{tty_fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
        const int polled = poll(ready, wake_fd >= 0 ? 2 : 1, wait_ms);
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

void write_out(const char* bytes, int length) { write_all(STDOUT_FILENO, bytes, length); }

bool open_console()
{
    do {
        tty_fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    } while (tty_fd < 0 && errno == EINTR);
    if (tty_fd < 0 || tcgetattr(tty_fd, &player_mode) != 0) {
        return false;
    }
    playing_mode = game_mode(player_mode);
    wake_fd = catch_signals(tty_fd, player_mode);
    std::atexit(restore_console);
    mode_changed = true;
    mark_mode_taken(true);
    set_mode(playing_mode);
    output_is_terminal = isatty(STDOUT_FILENO) != 0;
    if (output_is_terminal) {
        hold_output(GAME_SCREEN_ON);
        mark_game_screen_shown(true);
    }
    return true;
}

void clear_screen()
{
    hold_output(output_is_terminal ? CLEAR : CLEAR_IN_FILE);
    screen_length = 0;
}

void note_printed_text(const char* text, int length) { remember(text, length); }

KeyCodes wait_for_key_press()
{
    for (;;) {
        KeyPress key = decode_key(input, input_length, true);
        if (key.consumed == 0) {
            const int filled = fill_input(input_length == 0 ? -1 : SEQUENCE_WAIT_MS);
            if (filled < 0) {
                return {0, {0, 0}};
            }
            if (filled > 0) {
                continue;
            }
            key = decode_key(input, input_length, false);
        }
        if (key.count == 0) {
            note_answer(input, key.consumed);
        }
        input_length -= key.consumed;
        std::memmove(input, input + key.consumed, static_cast<size_t>(input_length));
        if (key.count > 0) {
            return {key.count, {key.codes[0], key.codes[1]}};
        }
    }
}

void leave_without_terminal()
{
    restore_console();
    static const char message[] = "sminatore: serve un terminale da cui leggere i tasti.\n";
    write_all(STDERR_FILENO, message, sizeof message - 1);
    std::_Exit(1);
}
