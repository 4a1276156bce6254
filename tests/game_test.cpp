// Whole games through the real program on a pseudo-terminal, byte for byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "case_name.h"
#include "game_fixture.h"
#include "screen_text.h"

namespace {

const std::string LOST_GAME = FIRST_FRAME + LOSING_END + GAME_SCREEN_OFF;

class Game : public GameOnTerminal {
protected:
    // Waits for the first screen, types every key at once, and checks the whole game: every
    // byte it wrote, exit status 0, and the terminal's mode given back.
    void play_whole_game(const std::string& keys, const std::string& text, const GameOptions& options = {})
    {
        ASSERT_TRUE(first_screen_shown(options));
        type_keys(run, keys);
        EXPECT_EQ(wait_for_exit(run), 0);
        EXPECT_EQ(run.output, on_terminal(text));
        EXPECT_TRUE(mode_restored());
    }
};

// However the game is started, keys come from the terminal: with standard input elsewhere, and
// with what looks like an option, which it does not read.
struct Start {
    const char* what;
    void (*arrange)(GameOptions&);
};

const Start STARTS[] = {
    {"FromAShell", [](GameOptions&) {}},
    {"WithStandardInputFromDevNull", [](GameOptions& o) { o.stdin_from_null = true; }},
    {"WithAnOption", [](GameOptions& o) { o.argument = "--help"; }},
};

class Started : public Game, public ::testing::WithParamInterface<Start> {};

TEST_P(Started, LostOnTheFirstMove)
{
    GameOptions options;
    GetParam().arrange(options);
    play_whole_game("e0zq", LOST_GAME, options);
}

INSTANTIATE_TEST_SUITE_P(Game, Started, ::testing::ValuesIn(STARTS), case_name<Start>);

// A won game with refusals and two-code keys on the way: every move, with its keys and the
// text it leaves, and the covered cells after it.
struct Move {
    std::string keys;
    std::string echo;
    std::set<std::string> opens;
};

const Move WON_GAME[] = {
    // x refused; Up is 224 (refused) then 72, column H.
    {"x\x1b[A4", "N.A." + prompt("Colonna") + "N.A." + prompt("Colonna") + "H" + prompt("Riga") + "4", {}},
    {"i0", "i" + prompt("Riga") + "0", {"I0"}},
    {"J0", "J" + prompt("Riga") + "0", {"J0"}},
    {"j1", "j" + prompt("Riga") + "1", {"J1"}},
    // F7 is 0 (refused) then 65, column A; a letter is refused at the row.
    {"\x1b[18~k7", "N.A." + prompt("Colonna") + "A" + prompt("Riga") + "N.A." + prompt("Riga") + "7", {"A7"}},
    {"c7", "c" + prompt("Riga") + "7", {"C7"}},
    {"d8", "d" + prompt("Riga") + "8", {"D8"}},
    {"e9", "e" + prompt("Riga") + "9", {"E9"}},
    // The passes open the rest around A9: the game is won.
    {"a9", "a" + prompt("Riga") + "9", {"A9", "A8", "B8", "C8", "B9", "C9"}},
};

std::string won_game_keys()
{
    std::string keys;
    for (const auto& move : WON_GAME) {
        keys += move.keys;
    }
    // Up gives two codes: the first leaves the result screen, the second the credit screen.
    return keys + "\x1b[A";
}

std::string won_game_text()
{
    std::set<std::string> hidden = cells(COVERED_AFTER_H4);
    std::string text = FIRST_FRAME;
    bool first = true;
    for (const auto& move : WON_GAME) {
        if (!first) {
            text += CLEAR + board(hidden) + prompt("Colonna");
        }
        first = false;
        text += move.echo;
        for (const auto& cell : move.opens) {
            hidden.erase(cell);
        }
    }
    EXPECT_EQ(hidden, worked_bombs());
    return text + CLEAR + board({}) + "\n\tHAI VINTO!!" + CLEAR + "Creato da Sorvendi\n" + GAME_SCREEN_OFF;
}

TEST_F(Game, WonWithRefusalsAndTwoCodeKeys)
{
    // Typed ahead all at once: nothing may be lost or echoed.
    play_whole_game(won_game_keys(), won_game_text());
}

// Ctrl+S and Ctrl+Q are keys like the others, refused at both prompts: the terminal's flow
// control, had the game left it on, would take Ctrl+S to freeze the screen (the game would then
// wait on its own output) and Ctrl+Q to let it go, and neither would reach the game.
TEST_F(Game, CtrlSAndCtrlQAreRefusedAndTheGameGoesOn)
{
    const std::string column_echoed = "e" + prompt("Riga");
    play_whole_game("\x13" "e" "\x11" "0zq", FIRST_FRAME + "N.A." + prompt("Colonna") + column_echoed + "N.A." +
                                                  prompt("Riga") + LOSING_END.substr(column_echoed.size()) +
                                                  GAME_SCREEN_OFF);
}

// A whole screen leaves in one write: besides one write per key press, only the switches to the
// game's screen and back, and at the end what a key's second code left of the credit screen. A
// key typed alone costs three system calls: its wait, its read and the write of its answer.
TEST_F(Game, ThreeSystemCallsAndOneWritePerKeyPressPlusTheSwitches)
{
    const std::string log = ::testing::TempDir() + "sminatore_calls_" + std::to_string(getpid()) + ".log";
    GameOptions options;
    options.trace_to = log;
    options.traced = "write,read,pselect6,select,poll,ppoll";
    run = start_game(WORKED_SEED, options);
    ASSERT_TRUE(wait_for_output(run, on_terminal(FIRST_FRAME), 20000));
    // One key press at a time, each once the game has answered the last, as a player types.
    int key_presses = 0;
    for (const auto& move : WON_GAME) {
        for (size_t at = 0; at < move.keys.size(); ++key_presses) {
            const size_t length = move.keys[at] == '\x1b' ? move.keys.find_first_of("A~", at) - at + 1 : 1;
            const size_t answered = run.output.size();
            type_keys(run, move.keys.substr(at, length));
            at += length;
            ASSERT_TRUE(wait_for_more_output(run, answered, 20000));
        }
    }
    type_keys(run, "\x1b[A");
    ++key_presses;
    ASSERT_EQ(wait_for_exit(run, 20000), 0);
    std::ifstream in(log);
    // Only the game's own writes: those of the process that shows the game screen.
    std::string line;
    std::string game_pid;
    int writes = 0;
    int calls = 0;  // from the switch to the game's screen on
    while (std::getline(in, line)) {
        const std::string pid = line.substr(0, line.find(' '));
        if (game_pid.empty() && line.find("\\33[?1049h") != std::string::npos) {
            game_pid = pid;
        }
        if (pid == game_pid) {
            writes += line.find("write(1,") != std::string::npos;
            ++calls;
        }
    }
    unlink(log.c_str());
    EXPECT_GT(writes, 0);
    EXPECT_LE(writes, key_presses + 3);
    EXPECT_LE(calls, 3 * key_presses + 3) << key_presses << " key presses";
}

TEST(NoTerminal, SaysSoAndExitsWithOne)
{
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();  // no controlling terminal, so /dev/tty cannot be opened
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(err[1], 2);
        execl(game_binary(), game_binary(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(err[1]);
    std::string message;
    char buffer[256];
    for (ssize_t got; (got = read(err[0], buffer, sizeof buffer)) > 0;) {
        message.append(buffer, static_cast<size_t>(got));
    }
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(message, "sminatore: serve un terminale da cui leggere i tasti.\n");
}

} // namespace
