#include "pty_session.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// One read of what the game has written, waiting up to wait_ms. False when nothing came.
bool read_some(GameRun& run, int wait_ms)
{
    pollfd ready = {run.master, POLLIN, 0};
    if (poll(&ready, 1, wait_ms) <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t got = read(run.master, buffer, sizeof buffer);
    if (got <= 0) {
        return false;
    }
    run.output.append(buffer, static_cast<size_t>(got));
    return true;
}

// faketime's own command forks and waits for the program, and reports a signal that ended it as
// status 1; its library, preloaded into the game itself, fixes the clock just the same and leaves
// the game's own status and stops to be seen. The absolute form holds the clock still at that
// second: a clock started there could reach the next second before a slow start reads it.
std::string fixed_clock(std::uint32_t seed)
{
    const std::time_t at = seed;
    std::tm utc{};
    gmtime_r(&at, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
}

const char* const FAKETIME_LIBRARY = "/usr/$LIB/faketime/libfaketime.so.1";
// The sanitizer runtime must not object to faketime's library coming first.
const char* const SANITIZER_OPTIONS = "verify_asan_link_order=0:allow_user_segv_handler=1";

// The game as the player's shell would run it: in a process group of its own, in the
// foreground of the terminal, with its parent in the same session (or, alone, as the leader of
// the terminal's session, which leaves its process group orphaned: no shell would take it back
// from a stop, so the system does not stop it).
[[noreturn]] void run_game(int slave, const std::string& clock, const GameOptions& options)
{
    if (options.alone) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
    } else {
        setpgid(0, 0);
        signal(SIGTTOU, SIG_IGN);
        tcsetpgrp(slave, getpid());
        signal(SIGTTOU, SIG_DFL);
    }
    // Kept across exec, as with nohup.
    signal(SIGHUP, options.ignore_hangup ? SIG_IGN : SIG_DFL);
    signal(SIGPIPE, options.ignore_broken_pipe ? SIG_IGN : SIG_DFL);
    const int in = options.stdin_from_null ? open("/dev/null", O_RDONLY) : slave;
    int out = options.stdout_file.empty()
                  ? slave
                  : open(options.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (options.stdout_to_closed_pipe) {
        int unread[2];
        if (pipe(unread) == 0) {
            close(unread[0]);
            out = unread[1];
        }
    }
    const int err = options.stderr_file.empty()
                        ? slave
                        : open(options.stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    if (options.nonblocking_terminal) {
        fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK);
    }
    // The game starts with the three standard descriptors only, as from a shell.
    close_range(3, ~0U, 0);
    for (int fd = 0; fd < 3; ++fd) {
        if (options.closed[fd]) {
            close(fd);
        }
    }
    const rlimit no_core = {0, 0};
    setrlimit(RLIMIT_CORE, &no_core);  // a quit signal must not leave core files behind
    // The sanitizer runtime must not object to faketime's library coming first, and its leak
    // check cannot run under strace.
    setenv("ASAN_OPTIONS",
           options.trace_to.empty() ? SANITIZER_OPTIONS : (std::string(SANITIZER_OPTIONS) + ":detect_leaks=0").c_str(),
           1);
    setenv("TZ", "UTC", 1);
    // The clock stands still for the field, but the game's waits must still run out.
    setenv("FAKETIME_DONT_FAKE_MONOTONIC", "1", 1);
    if (options.trace_to.empty()) {
        if (!options.real_clock) {
            setenv("LD_PRELOAD", FAKETIME_LIBRARY, 1);
            setenv("FAKETIME", clock.c_str(), 1);
        }
        execl(game_binary(), game_binary(), options.argument, static_cast<char*>(nullptr));
    } else {
        const std::string preload = std::string("LD_PRELOAD=") + FAKETIME_LIBRARY;
        const std::string faketime = "FAKETIME=" + clock;
        const std::string traced = "trace=" + options.traced;
        execlp("strace", "strace", "-f", "-qq", "-e", traced.c_str(), "-e", "signal=none", "-o",
               options.trace_to.c_str(), "-E", preload.c_str(), "-E", faketime.c_str(), "-E",
               "FAKETIME_DONT_FAKE_MONOTONIC=1", game_binary(), static_cast<char*>(nullptr));
    }
    _exit(127);
}

void report(int fd, int value)
{
    const ssize_t ignored = write(fd, &value, sizeof value);
    static_cast<void>(ignored);
}

// The parent in the session, as a shell: tells the game's process id, then each stop of the
// game, and ends with the game's status (128 + the signal's number when a signal ended it). With
// resume_at_once, each stop is told with its signal's number negated when the terminal was not in
// the player's mode while the game was stopped, and the game is continued at once.
[[noreturn]] void run_shell(int master, int slave, const std::string& clock, const GameOptions& options,
                            int reports, const termios& players_mode)
{
    close(master);
    if (!options.alone) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
    }
    signal(SIGHUP, SIG_IGN);  // outlives a hang-up, to tell how the game took it
    const pid_t game = fork();
    if (game == 0) {
        close(reports);
        run_game(slave, clock, options);
    }
    if (!options.alone) {
        setpgid(game, game);
    }
    report(reports, game);
    for (;;) {
        int status = 0;
        if (waitpid(game, &status, WUNTRACED) < 0) {
            if (errno == EINTR) {
                continue;
            }
            _exit(126);
        }
        if (WIFSTOPPED(status) && options.resume_at_once) {
            termios mode{};
            tcgetattr(slave, &mode);
            report(reports, same_mode(mode, players_mode) ? WSTOPSIG(status) : -WSTOPSIG(status));
            kill(game, SIGCONT);
        } else if (WIFSTOPPED(status)) {
            report(reports, WSTOPSIG(status));
        } else {
            _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
        }
    }
}

// A shell's games are its own to end (a process id of -1 would be every process).
void kill_game(const GameRun& run)
{
    if (run.game > 0) {
        kill(run.game, SIGKILL);
    }
}

} // namespace

const char* game_binary()
{
    const char* const chosen = std::getenv("SMINATORE_TEST_BINARY");
    return chosen != nullptr && *chosen != '\0' ? chosen : SMINATORE_BINARY;
}

GameRun start_game(std::uint32_t seed, const GameOptions& options)
{
    GameRun run;
    winsize size = {24, 80, 0, 0};
    int reports[2];
    if (openpty(&run.master, &run.slave, nullptr, nullptr, &size) != 0 || pipe2(reports, O_CLOEXEC) != 0) {
        std::abort();
    }
    tcgetattr(run.slave, &run.mode_before);
    const std::string clock = fixed_clock(seed);
    run.pid = fork();
    if (run.pid == 0) {
        close(reports[0]);
        run_shell(run.master, run.slave, clock, options, reports[1], run.mode_before);
    }
    close(reports[1]);
    run.reports = reports[0];
    int game = -1;
    if (read(run.reports, &game, sizeof game) != static_cast<ssize_t>(sizeof game)) {
        std::abort();
    }
    run.game = game;
    return run;
}

GameRun start_shell()
{
    GameRun run;
    const winsize size = {24, 80, 0, 0};
    if (openpty(&run.master, &run.slave, nullptr, nullptr, &size) != 0) {
        std::abort();
    }
    tcgetattr(run.slave, &run.mode_before);
    run.pid = fork();
    if (run.pid == 0) {
        close(run.master);
        setsid();
        ioctl(run.slave, TIOCSCTTY, 0);
        for (int fd = 0; fd < 3; ++fd) {
            dup2(run.slave, fd);
        }
        close_range(3, ~0U, 0);
        setenv("PS1", "$ ", 1);
        setenv("TERM", "xterm", 1);
        unsetenv("PROMPT_COMMAND");
        execlp("bash", "bash", "--norc", "--noprofile", "-i", static_cast<char*>(nullptr));
        _exit(127);
    }
    return run;
}

std::string game_command(std::uint32_t seed)
{
    return std::string("LD_PRELOAD='") + FAKETIME_LIBRARY + "' FAKETIME='" + fixed_clock(seed) +
           "' FAKETIME_DONT_FAKE_MONOTONIC=1 TZ=UTC ASAN_OPTIONS=" + SANITIZER_OPTIONS + " " + game_binary();
}

void type_keys(GameRun& run, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t put = write(run.master, bytes.data() + sent, bytes.size() - sent);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return;
        }
        sent += static_cast<size_t>(put);
    }
}

void read_output(GameRun& run, int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (read_some(run, ms_left(deadline)) || ms_left(deadline) > 0) {
    }
}

bool wait_for_output(GameRun& run, const std::string& text, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto& out = run.output;
        if (out.size() >= text.size() && out.compare(out.size() - text.size(), text.size(), text) == 0) {
            return true;
        }
        if (ms_left(deadline) == 0) {
            return false;
        }
        read_some(run, ms_left(deadline));
    }
}

bool wait_for_more_output(GameRun& run, size_t length, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    // Every answer to a key ends with a prompt's colon and space, or with the game's last words.
    const auto waits_again = [&run] {
        const std::string& out = run.output;
        return out.size() >= 2 && (out.compare(out.size() - 2, 2, ": ") == 0 || out.compare(out.size() - 2, 2, "!!") == 0);
    };
    while (run.output.size() <= length || !waits_again()) {
        if (ms_left(deadline) == 0) {
            return false;
        }
        read_some(run, ms_left(deadline));
    }
    return true;
}

bool wait_for_output_holding(GameRun& run, const std::string& text, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while (run.output.find(text) == std::string::npos) {
        if (ms_left(deadline) == 0) {
            return false;
        }
        read_some(run, ms_left(deadline));
    }
    return true;
}

int wait_for_exit(GameRun& run, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(run.pid, &status, WNOHANG);
        if (done == run.pid) {
            while (read_some(run, 50)) {
            }
            run.pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (ms_left(deadline) == 0) {
            kill_game(run);
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &status, 0);
            run.pid = -1;
            return -1;
        }
        read_some(run, 20);
    }
}

int wait_for_stop(GameRun& run, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pollfd ready = {run.reports, POLLIN, 0};
        int signal_number = -1;
        if (poll(&ready, 1, 0) > 0 && read(run.reports, &signal_number, sizeof signal_number) > 0) {
            while (read_some(run, 50)) {
            }
            return signal_number;
        }
        if (ms_left(deadline) == 0) {
            return -1;
        }
        read_some(run, 20);
    }
}

void count_stops(GameRun& run, Stops& stops)
{
    pollfd ready = {run.reports, POLLIN, 0};
    int told[256];
    while (poll(&ready, 1, 0) > 0) {
        const ssize_t got = read(run.reports, told, sizeof told);
        if (got <= 0) {
            return;
        }
        for (size_t at = 0; at < static_cast<size_t>(got) / sizeof told[0]; ++at) {
            ++stops.count;
            stops.not_in_players_mode += told[at] < 0;
        }
    }
}

int stack_kb(const GameRun& run)
{
    std::ifstream status("/proc/" + std::to_string(run.game) + "/status");
    const std::string field = "VmStk:";
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, field.size(), field) == 0) {
            return std::atoi(line.c_str() + field.size());
        }
    }
    return 0;
}

bool wait_for_game_mode(GameRun& run, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    while ((terminal_mode(run).c_lflag & ECHO) != 0) {
        if (ms_left(deadline) == 0) {
            return false;
        }
        read_some(run, 10);
    }
    return true;
}

namespace {

bool sleeps_with_keys_waiting(const GameRun& run)
{
    int waiting = 0;
    ioctl(run.slave, FIONREAD, &waiting);
    std::ifstream stat("/proc/" + std::to_string(run.game) + "/stat");
    std::string pid, name, state;
    stat >> pid >> name >> state;
    return waiting > 0 && state == "S";
}

} // namespace

bool wait_for_full_output(GameRun& run, int timeout_ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    // Seen twice, so that it is not a game that the keys have just woken.
    for (int seen = 0; seen < 2; seen = sleeps_with_keys_waiting(run) ? seen + 1 : 0) {
        if (ms_left(deadline) == 0) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

termios terminal_mode(const GameRun& run)
{
    termios mode{};
    tcgetattr(run.slave, &mode);
    return mode;
}

bool same_mode(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

std::string unread_input(GameRun& run)
{
    // Without the line discipline's canonical mode, a line not yet ended can be read too.
    const termios mode = terminal_mode(run);
    termios raw = mode;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcsetattr(run.slave, TCSANOW, &raw);
    std::string unread;
    char buffer[256];
    for (ssize_t got; (got = read(run.slave, buffer, sizeof buffer)) > 0;) {
        unread.append(buffer, static_cast<size_t>(got));
    }
    tcsetattr(run.slave, TCSANOW, &mode);
    return unread;
}

void hang_up(GameRun& run)
{
    close(run.master);
    run.master = -1;
}

void close_run(GameRun& run)
{
    if (run.pid > 0) {
        kill_game(run);
        kill(run.pid, SIGKILL);
        waitpid(run.pid, nullptr, 0);
    }
    if (run.reports >= 0) {
        close(run.reports);
        run.reports = -1;
    }
    if (run.master >= 0) {
        close(run.master);
    }
    if (run.slave >= 0) {
        close(run.slave);
    }
    run.master = run.slave = -1;
}
