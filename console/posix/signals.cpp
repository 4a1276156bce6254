// What a handler may reach: note_signal only sets the flags below; the fault handler, the way
// out given to catch_signals, gives the terminal back with write, poll, read, tcsetattr and
// sigprocmask, and ends with sigaction, raise and _exit, all async-signal-safe. Everything else
// here runs between the game's steps, with the held signals blocked.
#include "signals.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <sys/select.h>
#include <unistd.h>

namespace {

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
// Signals that stop the program: the terminal goes back first. The system itself sends SIGTTOU
// to a game that takes the terminal from the background; held back, it cannot stop the game
// inside a write, and it is let in where the game takes the terminal.
constexpr int STOPPING_SIGNALS[] = {SIGTSTP, SIGTTIN, SIGTTOU};
// Signals of a fault in the program, or of a write past the file size limit: they cannot wait
// for the game's next step.
constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT, SIGXFSZ};

struct Signals {
    sigset_t held;     // blocked between the game's waits
    sigset_t let_in;   // the mask while it waits
    volatile sig_atomic_t ending = 0;
    volatile sig_atomic_t stop = 0;
    volatile sig_atomic_t redraw = 0;
};

Signals signals;

void install(int number, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_mask = signals.held;  // one handler at a time
    sigaction(number, &action, nullptr);
}

bool is_stopping(int number)
{
    for (const int stopping : STOPPING_SIGNALS) {
        if (number == stopping) {
            return true;
        }
    }
    return false;
}

void note_signal(int number)
{
    if (is_stopping(number)) {
        signals.stop = number;
    } else if (number == SIGCONT || number == SIGWINCH) {
        signals.redraw = 1;
    } else {
        signals.ending = number;
    }
}

void hold_signal(int number)
{
    if (!ignored(number)) {
        sigaddset(&signals.held, number);
    }
}

void take_default_action(int number)
{
    install(number, SIG_DFL);
    raise(number);
    mask_signal(SIG_UNBLOCK, number);
}

bool something_asked() { return signals.ending != 0 || signals.stop != 0 || signals.redraw != 0; }

} // namespace

sigset_t mask_signal(int how, int number)
{
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    sigset_t before;
    sigprocmask(how, &only, &before);
    return before;
}

long long now_ms()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool ignored(int number)
{
    struct sigaction current = {};
    return sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

void catch_signals(void (*on_fault)(int number))
{
    sigemptyset(&signals.held);
    for (const int number : ENDING_SIGNALS) {
        hold_signal(number);
    }
#ifdef SIGRTMIN
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) {
        hold_signal(number);
    }
#endif
    for (const int number : STOPPING_SIGNALS) {
        hold_signal(number);
    }
    sigaddset(&signals.held, SIGCONT);
    sigaddset(&signals.held, SIGWINCH);
    sigprocmask(SIG_BLOCK, &signals.held, &signals.let_in);
    for (int number = 1; number < NSIG; ++number) {
        if (sigismember(&signals.held, number) == 1) {
            sigdelset(&signals.let_in, number);
            install(number, note_signal);
        }
    }
    for (const int number : FAULT_SIGNALS) {
        if (!ignored(number)) {
            install(number, on_fault);
        }
    }
}

Woken wait_for(int fd, bool writing, long long deadline)
{
    for (;;) {
        if (something_asked()) {
            return Woken::SIGNALLED;
        }
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
                                  deadline >= 0 ? &timeout : nullptr, &signals.let_in);
        if (something_asked()) {
            return Woken::SIGNALLED;
        }
        if (ready > 0) {
            return Woken::READY;
        }
        if (ready == 0) {
            return Woken::TIMED_OUT;
        }
        if (errno != EINTR) {
            return Woken::READY;  // the read or write will tell what is wrong
        }
    }
}

int with_signals_let_in(int (*call)())
{
    sigset_t held;
    sigprocmask(SIG_SETMASK, &signals.let_in, &held);
    const int result = call();
    const int error = errno;
    sigprocmask(SIG_SETMASK, &held, nullptr);
    errno = error;
    return result;
}

int ending_signal() { return signals.ending; }

int take_stop()
{
    const int number = signals.stop;
    signals.stop = 0;
    return number;
}

bool take_redraw()
{
    const bool asked = signals.redraw != 0;
    signals.redraw = 0;
    return asked;
}

void end_by_default(int number)
{
    take_default_action(number);
    _exit(128 + number);  // the default action did not end the program after all
}

void stop_by_default(int number)
{
    take_default_action(number);
    mask_signal(SIG_BLOCK, number);
    install(number, note_signal);
}
