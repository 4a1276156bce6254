#include "pty_session.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
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

// faketime's absolute form, which holds the clock still, for the second that seed stands for.
std::string stopped_clock(std::uint32_t seed)
{
    const std::time_t when = static_cast<std::time_t>(seed);
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
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
    if (openpty(&run.master, &run.slave, nullptr, nullptr, &size) != 0) {
        std::abort();
    }
    tcgetattr(run.slave, &run.mode_before);
    run.pid = fork();
    if (run.pid == 0) {
        setsid();
        ioctl(run.slave, TIOCSCTTY, 0);
        const int in = options.stdin_from_null ? open("/dev/null", O_RDONLY) : run.slave;
        const int out = options.stdout_file.empty()
                            ? run.slave
                            : open(options.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(run.slave, 2);
        close(run.master);
        // The sanitizer runtime must not object to faketime's library coming first, and its leak
        // check cannot run under strace.
        setenv("ASAN_OPTIONS",
               options.trace_writes_to.empty() ? "verify_asan_link_order=0"
                                               : "verify_asan_link_order=0:detect_leaks=0",
               1);
        // A clock stopped at the seed's second, not one started there: on a loaded machine the
        // game may take long enough to start for a running clock to reach the next second.
        setenv("TZ", "UTC", 1);
        const std::string stopped = stopped_clock(seed);
        if (options.trace_writes_to.empty()) {
            execlp("faketime", "faketime", "-f", stopped.c_str(), game_binary(), static_cast<char*>(nullptr));
        } else {
            execlp("strace", "strace", "-f", "-qq", "-e", "trace=write", "-e", "signal=none", "-o",
                   options.trace_writes_to.c_str(), "faketime", "-f", stopped.c_str(), game_binary(),
                   static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    return run;
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
            kill(run.pid, SIGKILL);
            waitpid(run.pid, &status, 0);
            run.pid = -1;
            return -1;
        }
        read_some(run, 20);
    }
}

bool same_mode(const termios& a, const termios& b)
{
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

void close_run(GameRun& run)
{
    if (run.pid > 0) {
        kill(run.pid, SIGKILL);
        waitpid(run.pid, nullptr, 0);
    }
    if (run.master >= 0) {
        close(run.master);
    }
    if (run.slave >= 0) {
        close(run.slave);
    }
    run.master = run.slave = -1;
}
