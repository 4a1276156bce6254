// Runs the real game on a pseudo-terminal, as a player's terminal would, with the clock fixed
// from outside by faketime.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <termios.h>

struct GameOptions {
    bool stdin_from_null = false;  // keys must still come from the terminal
    const char* argument = nullptr;  // on the command line, which the game does not read
    std::string stdout_file;       // empty: standard output is the terminal
    std::string trace_to;          // non-empty: run under strace, logging the traced calls there
    std::string traced = "write";  // strace's -e trace=
    std::string stderr_file;       // empty: standard error is the terminal
    bool ignore_hangup = false;    // started as under nohup
    bool alone = false;            // the game leads the terminal's session, with no shell above it
    bool stdout_to_closed_pipe = false;  // standard output is a pipe that nobody reads any more
    bool ignore_broken_pipe = false;     // SIGPIPE ignored from the start, as some parents leave it
    bool nonblocking_terminal = false;   // left non-blocking by another program that shares it
    bool closed[3] = {};                 // standard descriptors closed at start, as by <&- >&- 2>&-
    // The clock left to run, for a game that ends before its field matters: libfaketime, preloaded,
    // would hold descriptors of its own (shared memory) from the start.
    bool real_clock = false;
    // The shell resumes the game at once after each stop, looking at the terminal's mode while the
    // game is stopped; see count_stops.
    bool resume_at_once = false;
};

struct GameRun {
    pid_t pid = -1;   // the shell-like parent that runs the game and tells its stops and status
    pid_t game = -1;  // the game itself (or strace, when tracing): where signals go
    int reports = -1;
    int master = -1;
    int slave = -1;  // kept open here, to read the terminal's mode after the game
    std::string output;
    termios mode_before{};
};

// The program under test: the one just built, or the one named by SMINATORE_TEST_BINARY (set
// it to try an installed copy, e.g. the one a package put in place).
const char* game_binary();

GameRun start_game(std::uint32_t seed, const GameOptions& options = {});

// An interactive bash leading the session of a pseudo-terminal of its own, as in a terminal
// window, with job control and no start-up files; its prompt is "$ ".
GameRun start_shell();

// The command line that runs the game from that shell with the clock fixed at seed.
std::string game_command(std::uint32_t seed);

void type_keys(GameRun& run, const std::string& bytes);

// Reads whatever the game writes for that long (0: only what has come already).
void read_output(GameRun& run, int ms);

// Reads output until it ends with the text, or the time runs out. True if it came.
bool wait_for_output(GameRun& run, const std::string& text, int timeout_ms = 5000);

// Reads output until there is more than length of it, and the game waits for a key again.
bool wait_for_more_output(GameRun& run, size_t length, int timeout_ms = 5000);

// Reads output until it holds the text anywhere, or the time runs out. True if it came.
bool wait_for_output_holding(GameRun& run, const std::string& text, int timeout_ms = 5000);

// Reads what is left and waits for the game to end; the exit status (128 + the signal's number
// when a signal ended it), or -1 if it did not end in time (it is then killed).
int wait_for_exit(GameRun& run, int timeout_ms = 5000);

// Waits for the game to stop (as after Ctrl+Z), reading its output meanwhile; the number of the
// signal that stopped it, or -1 if it did not stop in time.
int wait_for_stop(GameRun& run, int timeout_ms = 5000);

// With resume_at_once: adds the stops reported since the last call, and those of them that found
// the terminal in a mode other than the one it had before the game, without waiting.
struct Stops {
    int count = 0;
    int not_in_players_mode = 0;
};
void count_stops(GameRun& run, Stops& stops);

// The size of the game's stack in kB, as Linux tells it; 0 once the game has gone.
int stack_kb(const GameRun& run);

// Waits until the terminal is in the game's mode (no echo), so that typed keys cannot be echoed
// by the terminal before the game has taken it.
bool wait_for_game_mode(GameRun& run, int timeout_ms = 5000);

termios terminal_mode(const GameRun& run);

bool same_mode(const termios& a, const termios& b);

// What waits in the terminal's input, unread by the game or by anything after it.
std::string unread_input(GameRun& run);

// Waits until the game sleeps with keys waiting for it: with nobody reading, its output is full.
bool wait_for_full_output(GameRun& run, int timeout_ms = 10000);

// Closes the terminal's master side, as a closed window or a dropped connection does.
void hang_up(GameRun& run);

void close_run(GameRun& run);
