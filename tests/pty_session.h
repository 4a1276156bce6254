// Runs the real game on a pseudo-terminal, as a player's terminal would, with the clock fixed
// from outside by faketime.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <termios.h>

struct GameOptions {
    bool stdin_from_null = false;  // keys must still come from the terminal
    std::string stdout_file;       // empty: standard output is the terminal
    std::string trace_writes_to;   // non-empty: run under strace, logging write calls there
};

struct GameRun {
    pid_t pid = -1;
    int master = -1;
    int slave = -1;  // kept open here, to read the terminal's mode after the game
    std::string output;
    termios mode_before{};
};

// The program under test: the one just built, or the one named by SMINATORE_TEST_BINARY (set
// it to try an installed copy, e.g. the one a package put in place).
const char* game_binary();

GameRun start_game(std::uint32_t seed, const GameOptions& options = {});

void type_keys(GameRun& run, const std::string& bytes);

// Reads output until it ends with the text, or the time runs out. True if it came.
bool wait_for_output(GameRun& run, const std::string& text, int timeout_ms = 5000);

// Reads what is left and waits for the game to end; the exit status, or -1 if it did not end
// in time (it is then killed).
int wait_for_exit(GameRun& run, int timeout_ms = 5000);

bool same_mode(const termios& a, const termios& b);

void close_run(GameRun& run);
