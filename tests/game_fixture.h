// The real game on a pseudo-terminal for one test, ended and cleaned up whatever the test's
// outcome.
#pragma once

#include <gtest/gtest.h>

#include "pty_session.h"
#include "screen_text.h"

class GameOnTerminal : public ::testing::Test {
protected:
    void TearDown() override { close_run(run); }
    bool mode_restored() const { return same_mode(run.mode_before, terminal_mode(run)); }

    // Starts the game on the worked field: true once its first screen is shown.
    bool first_screen_shown(const GameOptions& options = {})
    {
        run = start_game(WORKED_SEED, options);
        return wait_for_output(run, on_terminal(FIRST_FRAME));
    }

    // Loses the game at E0 and leaves both closing screens, as a player ends one: it must end
    // with 0 and the terminal's mode as found.
    void lose(int timeout_ms = 5000)
    {
        type_keys(run, "e0zq");
        EXPECT_EQ(wait_for_exit(run, timeout_ms), 0);
        EXPECT_TRUE(mode_restored());
    }
    GameRun run;
};
