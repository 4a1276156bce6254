// What a handler may reach: note_signal only sets the flags below; the fault handler, the way
// out given to catch_signals, gives the terminal back with read, write, pselect and tcsetattr,
// and ends with sigaction, sigprocmask, raise and _exit, all async-signal-safe. Everything else
// here runs between the game's steps, with the held signals blocked.
#include "signals.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <sys/select.h>
#include <unistd.h>

namespace {

// Signals whose default action ends the program and that may come from outside: held back but
// while the game waits, then answered by giving the terminal back and ending by the same signal.
// The real-time signals are among them, numbered apart on every system.
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
// Signals that ask for the screen to be drawn again.
constexpr int REDRAWING_SIGNALS[] = {SIGCONT, SIGWINCH};
// Signals of a fault in the program, or of a write past the file size limit: they cannot wait
// for the game's next step.
constexpr int FAULT_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT, SIGXFSZ};

struct Signals {
    sigset_t held;    // blocked between the game's waits
    sigset_t let_in;  // the mask while it waits
    volatile sig_atomic_t ending = 0;
    volatile sig_atomic_t stop = 0;
    volatile sig_atomic_t redraw = 0;
};

Signals signals;

template <size_t N>
bool one_of(int number, const int (&numbers)[N])
{
    return std::find(numbers, numbers + N, number) != numbers + N;
}

void note_signal(int number)
{
    if (one_of(number, STOPPING_SIGNALS)) {
        signals.stop = number;
    } else if (one_of(number, REDRAWING_SIGNALS)) {
        signals.redraw = 1;
    } else {
        signals.ending = number;
    }
}

// One handler at a time: note_signal with every other signal blocked, so that the flags are
// only ever set by one; the fault handler is left to what the fault's moment had blocked.
void install(int number, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    if (handler == note_signal) {
        sigfillset(&action.sa_mask);
    }
    sigaction(number, &action, nullptr);
}

void hold(int number)
{
    sigaddset(&signals.held, number);
    sigdelset(&signals.let_in, number);
    install(number, note_signal);
}

void hold_unless_ignored(int number)
{
    if (!ignored(number)) {
        hold(number);
    }
}

void mask_one(int how, int number)
{
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    sigprocmask(how, &only, nullptr);
}

void take_default_action(int number)
{
    install(number, SIG_DFL);
    raise(number);
    mask_one(SIG_UNBLOCK, number);
}

// What the signals let in have asked for, READY for nothing; a redraw is forgotten once told.
Woken asked()
{
    if (signals.ending != 0) {
        return Woken::END;
    }
    if (signals.stop != 0) {
        return Woken::STOP;
    }
    if (signals.redraw != 0) {
        signals.redraw = 0;
        return Woken::REDRAW;
    }
    return Woken::READY;
}

} // namespace

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
    sigprocmask(SIG_SETMASK, nullptr, &signals.let_in);
    for (const int number : ENDING_SIGNALS) {
        hold_unless_ignored(number);
    }
#ifdef SIGRTMIN
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) {
        hold_unless_ignored(number);
    }
#endif
    for (const int number : STOPPING_SIGNALS) {
        hold_unless_ignored(number);
    }
    for (const int number : REDRAWING_SIGNALS) {
        hold(number);
    }
    sigprocmask(SIG_BLOCK, &signals.held, nullptr);
    for (const int number : FAULT_SIGNALS) {
        if (!ignored(number)) {
            install(number, on_fault);
        }
    }
}

Woken wait_for(int fd, bool writing, long long deadline)
{
    for (;;) {
        const Woken before = asked();
        if (before != Woken::READY) {
            return before;
        }
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timespec timeout = {0, 0};
        if (deadline > 0) {
            const long long left = deadline - now_ms();
            if (left > 0) {
                timeout = {static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000};
            }
        }
        const int ready = pselect(fd + 1, writing ? nullptr : &set, writing ? &set : nullptr, nullptr,
                                  deadline >= 0 ? &timeout : nullptr, &signals.let_in);
        const int error = errno;
        const Woken after = asked();
        if (after != Woken::READY) {
            return after;
        }
        if (ready == 0) {
            return Woken::TIMED_OUT;
        }
        if (ready > 0 || error != EINTR) {
            return Woken::READY;  // on an error, the read or write will tell what is wrong
        }
    }
}

Woken with_signals_let_in(int (*call)(), int& result)
{
    sigset_t held;
    sigprocmask(SIG_SETMASK, &signals.let_in, &held);
    result = call();
    const int error = errno;
    sigprocmask(SIG_SETMASK, &held, nullptr);
    errno = error;
    return asked();
}

int ending_signal() { return signals.ending; }

int take_stop()
{
    const int number = signals.stop;
    signals.stop = 0;
    return number;
}

void end_by_default(int number)
{
    take_default_action(number);
    _exit(128 + number);  // the default action did not end the program after all
}

void stop_by_default(int number)
{
    take_default_action(number);
    mask_one(SIG_BLOCK, number);
    install(number, note_signal);
}
