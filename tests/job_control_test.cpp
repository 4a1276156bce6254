// The game under an interactive bash, as a player's shell runs it: started in the background,
// stopped with Ctrl+Z, sent on with bg, brought back with fg, ended with kill %1. However the
// shell moves it, the game can be ended, plays on when brought back, and leaves the terminal's
// mode as the shell had it.
#include <gtest/gtest.h>

#include <string>

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

} // namespace
