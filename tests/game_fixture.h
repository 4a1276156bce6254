// The real game on a pseudo-terminal for one test, ended and cleaned up whatever the test's
// outcome.
#pragma once

#include <gtest/gtest.h>

#include "pty_session.h"

class GameOnTerminal : public ::testing::Test {
protected:
    void TearDown() override { close_run(run); }
    bool mode_restored() const { return same_mode(run.mode_before, terminal_mode(run)); }
    GameRun run;
};
