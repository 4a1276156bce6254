// Drawing and the input rules, without a terminal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "console/board.h"
#include "console/input.h"
#include "rules/field.h"
#include "rules/random.h"

namespace {

std::string drawn(const Grid& grid)
{
    testing::internal::CaptureStdout();
    print_board(grid);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST(Board, CoveredBoard)
{
    Grid grid;
    for (auto& line : grid) {
        for (auto& cell : line) {
            cell = HIDDEN;
        }
    }
    std::string expected = "\n     A B C D E F G H I J\n\n";
    for (int row = 0; row < 10; ++row) {
        expected += "  " + std::to_string(row) + "  # # # # # # # # # #\n";
    }
    EXPECT_EQ(drawn(grid), expected);
}

TEST(Board, SolvedFieldKeepsTrailingBlanks)
{
    Grid grid = {};
    seed_random(1000000000);
    scatter_bombs(grid);
    count_neighbours(grid);
    const std::string text = drawn(grid);
    const std::string lines[] = {
        "  0        1 B 1   1 1 1\n",
        "  3  1 1                \n",
        "  9      1 B 2 B B 1    \n",
    };
    for (const auto& line : lines) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    // Header (3 lines) and ten rows of 24 characters.
    EXPECT_EQ(text.size(), 1 + 25 + 1 + 10 * 25);
}

TEST(Board, EachCellCodeIsTwoCharacters)
{
    const struct {
        std::int32_t value;
        const char* text;
    } cases[] = {{0, "  "}, {HIDDEN, " #"}, {BOMB, " B"}, {1, " 1"}, {5, " 5"}, {8, " 8"}};
    for (const auto& c : cases) {
        char buffer[3];
        EXPECT_STREQ(cell_text(c.value, buffer), c.text) << c.value;
    }
}

TEST(Input, WhichKeysEachPromptAccepts)
{
    for (int code = -1; code < 256; ++code) {
        const bool letter = (code >= 'a' && code <= 'j') || (code >= 'A' && code <= 'J');
        const bool digit = code >= '0' && code <= '9';
        EXPECT_EQ(key_accepted(code, COLUMN_LABEL), letter) << code;
        EXPECT_EQ(key_accepted(code, ROW_LABEL), digit) << code;
    }
}

} // namespace
