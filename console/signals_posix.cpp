// The handlers only write, set the terminal mode, change signal dispositions and raise: all of it
// async-signal-safe. Anything more (drawing the screen again, taking the mode back) is left to
// the key reader, which a byte on the wake-up pipe brings round.
#include "signals_posix.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Signals whose default action ends the program and that a player or the system may send.
// Crashes (SIGSEGV, SIGABRT, ...) are left alone: the program is then past giving anything back.
constexpr int ENDING_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2};
// Signals after which the screen must be drawn again.
constexpr int REDRAW_SIGNALS[] = {SIGCONT, SIGWINCH};

int terminal = -1;
termios player_terminal_mode;
volatile sig_atomic_t mode_taken = 0;
volatile sig_atomic_t screen_shown = 0;
volatile sig_atomic_t player_meta_set = 0;
int wake_pipe[2] = {-1, -1};

void give_terminal_back()
{
    if (screen_shown) {
        const ssize_t ignored = write(STDOUT_FILENO, game_screen_off(), sizeof GAME_SCREEN_OFF - 1);
        static_cast<void>(ignored);
    }
    if (mode_taken) {
        tcsetattr(terminal, TCSANOW, &player_terminal_mode);
    }
}

void set_default_action(int number)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
}

// Delivers the signal again with its default action, from inside its own handler.
void raise_by_default(int number)
{
    set_default_action(number);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(number);
}

void on_ending_signal(int number)
{
    give_terminal_back();
    raise_by_default(number);
    _exit(128 + number);  // the default action did not end the program after all
}

void wake_reader()
{
    const char byte = 0;
    const ssize_t ignored = write(wake_pipe[1], &byte, 1);  // a full pipe already says it
    static_cast<void>(ignored);
}

void on_redraw_signal(int)
{
    const int saved_errno = errno;
    wake_reader();
    errno = saved_errno;
}

void install(int number, void (*handler)(int));

void on_stop(int number)
{
    const int saved_errno = errno;
    give_terminal_back();
    screen_shown = 0;
    mode_taken = 0;
    raise_by_default(number);
    // Continued, or never stopped: in a process group that no shell looks after any more, the
    // system drops the stop. Either way the reader takes the terminal back.
    install(number, on_stop);
    wake_reader();
    errno = saved_errno;
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

bool ignored(int number)
{
    struct sigaction current = {};
    return sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

bool make_wake_pipe()
{
    if (pipe(wake_pipe) != 0) {
        return false;
    }
    for (const int fd : wake_pipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return true;
}

} // namespace

int catch_signals(int tty_fd, const termios& player_mode)
{
    terminal = tty_fd;
    player_terminal_mode = player_mode;
    for (const int number : ENDING_SIGNALS) {
        if (!ignored(number)) {
            install(number, on_ending_signal);
        }
    }
    if (!ignored(SIGTSTP)) {
        install(SIGTSTP, on_stop);
    }
    if (make_wake_pipe()) {
        for (const int number : REDRAW_SIGNALS) {
            install(number, on_redraw_signal);
        }
    }
    return wake_pipe[0];
}

void mark_mode_taken(bool taken) { mode_taken = taken; }

void mark_game_screen_shown(bool shown) { screen_shown = shown; }

bool game_screen_shown() { return screen_shown != 0; }

void mark_player_meta_set(bool set) { player_meta_set = set; }

const char* game_screen_off() { return player_meta_set ? GAME_SCREEN_OFF_META_SET : GAME_SCREEN_OFF; }

void clear_wake_up()
{
    char bytes[64];
    while (read(wake_pipe[0], bytes, sizeof bytes) > 0) {
    }
}

void hold_signals()
{
    sigset_t set;
    sigemptyset(&set);
    add_handled_signals(set);
    sigprocmask(SIG_BLOCK, &set, nullptr);
}
