// The game under an interactive bash, as a player's shell runs it: started in the background,
// stopped with Ctrl+Z, sent on with bg, brought back with fg, ended with kill %1. However the
// shell moves it, the game can be ended, plays on when brought back, and leaves the terminal's
// mode as the shell had it.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>

#include "game_fixture.h"
#include "screen_text.h"

namespace {

class JobControl : public GameOnTerminal {
protected:
    void SetUp() override
    {
        run = start_shell();
        // Every job change told at once, not at the next prompt.
        command("set -b; before=$(stty -g)", "");
    }

    // Types the command line and waits until the output holds the text since it was typed.
    bool command(const std::string& line, const std::string& awaited)
    {
        run.output.clear();
        type_keys(run, line + "\r");
        return wait_for_output_holding(run, awaited.empty() ? "$ " : awaited, 20000);
    }

    // Kills the job as bash does, SIGTERM then SIGCONT: the shell must tell it ended so, once it
    // has gone. (A stop the shell has not yet seen continued would make wait tell the stop, and
    // bash keeps no status for a job started in the foreground.)
    bool killed()
    {
        return command("game=$(jobs -p %1); kill %1; while kill -0 $game 2>/dev/null; do sleep 0.05; done; echo g\"\"one",
                       "gone\r\n") &&
               wait_for_output_holding(run, "Terminated", 20000) && mode_as_before();
    }

    // Its status as the shell tells it once the game in the foreground has given the terminal back.
    bool ends_with(const std::string& status)
    {
        return wait_for_output_holding(run, "\x1b[?1049l", 20000) &&
               command("echo status=$?", "status=" + status + "\r\n") && mode_as_before();
    }

    bool mode_as_before() { return command("[ \"$(stty -g)\" = \"$before\" ] && echo same\"\"mode", "samemode"); }

    bool stopped() { return wait_for_output_holding(run, "Stopped", 20000); }

};

TEST_F(JobControl, StartedInTheBackgroundThenKilled)
{
    ASSERT_TRUE(command(game_command(WORKED_SEED) + " &", "Stopped"));
    EXPECT_TRUE(killed()) << run.output;
}

TEST_F(JobControl, StartedInTheBackgroundThenBroughtBack)
{
    ASSERT_TRUE(command(game_command(WORKED_SEED) + " &", "Stopped"));
    ASSERT_TRUE(command("fg", on_terminal(board(all_cells()) + prompt("Colonna"))));
    type_keys(run, "e0zq");
    EXPECT_TRUE(ends_with("0")) << run.output;
}

TEST_F(JobControl, StoppedSentOnThenKilled)
{
    ASSERT_TRUE(command(game_command(WORKED_SEED), on_terminal(board(all_cells()) + prompt("Colonna"))));
    run.output.clear();
    type_keys(run, "\x1a");
    ASSERT_TRUE(stopped());
    // In the background it cannot take the terminal: the system stops it again.
    ASSERT_TRUE(command("bg", "Stopped"));
    EXPECT_TRUE(killed()) << run.output;
}

TEST_F(JobControl, StoppedThenBroughtBack)
{
    ASSERT_TRUE(command(game_command(WORKED_SEED), on_terminal(board(all_cells()) + prompt("Colonna"))));
    run.output.clear();
    type_keys(run, "x\x1a");
    ASSERT_TRUE(stopped());
    ASSERT_TRUE(command("fg", on_terminal(board(all_cells()) + prompt("Colonna") + "N.A." + prompt("Colonna"))));
    type_keys(run, "e0zq");
    EXPECT_TRUE(ends_with("0")) << run.output;
}

// Ctrl+Z as soon as the game has the terminal, as an impatient player or a slow link gives it:
// fg brings the game back, and nothing of the game's reaches the shell as typed input.
TEST_F(JobControl, StoppedRightAfterStartThenBroughtBack)
{
    ASSERT_TRUE(command(game_command(WORKED_SEED), GAME_SCREEN_ON));
    type_keys(run, "\x1a");
    ASSERT_TRUE(stopped());
    ASSERT_TRUE(command("fg", on_terminal(board(all_cells()) + prompt("Colonna"))));
    type_keys(run, "e0zq");
    EXPECT_TRUE(ends_with("0")) << run.output;
    EXPECT_EQ(run.output.find("not found"), std::string::npos) << run.output;
}

// A process as Linux tells it: its name, its state (R, S, T for stopped, Z once ended) and its
// parent. False once it has gone.
struct Process {
    std::string name;
    char state = '?';
    pid_t parent = 0;
};

bool look_at(pid_t pid, Process& process)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line)) {
        return false;
    }
    // "pid (name) state parent ...", where the name may hold spaces and parentheses.
    const size_t open = line.find('(');
    const size_t close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 4 > line.size()) {
        return false;
    }
    process.name = line.substr(open + 1, close - open - 1);
    process.state = line[close + 2];
    process.parent = static_cast<pid_t>(std::stol(line.substr(close + 4)));
    return true;
}

bool below(pid_t pid, pid_t ancestor)
{
    Process process;
    for (; look_at(pid, process) && process.parent > 1; pid = process.parent) {
        if (process.parent == ancestor) {
            return true;
        }
    }
    return false;
}

// The game among the processes below the shell, or -1.
pid_t game_below(pid_t shell)
{
    std::string name = game_binary();
    name = name.substr(name.rfind('/') + 1).substr(0, 15);  // as Linux keeps a program's name
    DIR* all = opendir("/proc");
    pid_t found = -1;
    for (dirent* entry; found < 0 && all != nullptr && (entry = readdir(all)) != nullptr;) {
        const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
        Process process;
        if (pid > 0 && look_at(pid, process) && process.name == name && below(pid, shell)) {
            found = pid;
        }
    }
    if (all != nullptr) {
        closedir(all);
    }
    return found;
}

// Waits, looking every 20 ms, until the process is in one of the states ("" for gone, which an
// ended process not yet reaped is too).
bool wait_for_state(pid_t pid, const std::string& states, int timeout_ms = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        Process process;
        const bool gone = !look_at(pid, process) || process.state == 'Z';
        if (gone ? states.empty() : states.find(process.state) != std::string::npos) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The game started by a shell script that goes on after it, as faketime's command and any
// launcher that forks do: the game is then not the leader of its process group, the job's. The
// quit and suspend keys, when the terminal sends them as sequences (kitty's CSI u), reach the
// game as keys, and must do to the whole job what the terminal's own would: end it, stop it.
class UnderAWrapper : public JobControl {
protected:
    void SetUp() override
    {
        JobControl::SetUp();
        std::string script = game_command(WORKED_SEED) + "; exit $?";
        for (size_t at = 0; (at = script.find('\'', at)) != std::string::npos; at += 4) {
            script.replace(at, 1, "'\\''");
        }
        // No core file from the wrapper that Ctrl+\ ends.
        ASSERT_TRUE(command("ulimit -c 0; sh -c '" + script + "'", on_terminal(board(all_cells()) + prompt("Colonna"))));
        game = game_below(run.pid);
        ASSERT_GT(game, 0);
        ASSERT_NE(getpgid(game), game);
        run.game = game;  // ended with the shell, whatever the test's outcome
        run.output.clear();
    }
    pid_t game = -1;
};

TEST_F(UnderAWrapper, CtrlBackslashAsASequenceEndsTheWholeJob)
{
    type_keys(run, "\x1b[92;5u");
    EXPECT_TRUE(wait_for_state(game, "")) << "the game is left running";
    EXPECT_TRUE(ends_with(std::to_string(128 + SIGQUIT))) << run.output;
}

TEST_F(UnderAWrapper, CtrlZAsASequenceStopsTheWholeJob)
{
    type_keys(run, "\x1b[122;5u");
    ASSERT_TRUE(stopped());
    ASSERT_TRUE(wait_for_state(game, "T")) << "the game is left running";
    EXPECT_TRUE(wait_for_output_holding(run, GAME_SCREEN_OFF)) << run.output;
    EXPECT_TRUE(mode_as_before());
    ASSERT_TRUE(command("fg", on_terminal(GAME_SCREEN_ON + CLEAR + board(all_cells()) + prompt("Colonna"))));
    type_keys(run, "e0zq");
    EXPECT_TRUE(ends_with("0")) << run.output;
}

} // namespace
