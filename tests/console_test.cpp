// Drawing and the input rules, without a terminal.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/board.h"
#include "console/input.h"
#include "console/screens.h"
#include "console/console.h"
#include "case_name.h"
#include "fake_terminal.h"
#include "worked_field.h"
#include "rules/field.h"
#include "rules/random.h"

namespace {

std::string drawn(const Grid& grid)
{
    take_output();
    print_board(grid);
    return take_output();
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
    seed_random(WORKED_SEED);
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
        Grid grid = {};
        grid[3][4] = c.value;
        EXPECT_EQ(drawn(grid).substr(1 + 25 + 1 + 3 * 25 + 4 + 2 * 4, 2), c.text) << c.value;
    }
}

// Every code a key press can give, against the letters and digits on the board.
TEST(Input, WhichKeysEachPromptAccepts)
{
    const std::string columns = "ABCDEFGHIJabcdefghij";
    const std::string rows = "0123456789";
    std::string accepted_columns;
    std::string accepted_rows;
    for (int code = 0; code < 256; ++code) {
        if (key_accepted(code, COLUMN_LABEL)) {
            accepted_columns += static_cast<char>(code);
        }
        if (key_accepted(code, ROW_LABEL)) {
            accepted_rows += static_cast<char>(code);
        }
    }
    EXPECT_EQ(accepted_columns, columns);
    EXPECT_EQ(accepted_rows, rows);
}

// What the player types at one prompt, what stands on the screen afterwards, and the value.
struct Answer {
    const char* what;
    const char* label;
    std::vector<int> keys;
    std::string screen;
    int value;
};

class Prompt : public ::testing::TestWithParam<Answer> {};

TEST_P(Prompt, RefusesUntilAFittingKeyThenEchoes)
{
    const Answer& answer = GetParam();
    script_keys(answer.keys);
    take_output();
    int target = -1;
    read_coordinate(target, answer.label);
    EXPECT_EQ(take_output(), answer.screen);
    EXPECT_EQ(target, answer.value);
}

INSTANTIATE_TEST_SUITE_P(
    Input, Prompt,
    ::testing::Values(Answer{"column c", COLUMN_LABEL, {'c'}, "\n\tColonna: c", 2},
                      Answer{"column J", COLUMN_LABEL, {'J'}, "\n\tColonna: J", 9},
                      Answer{"column a", COLUMN_LABEL, {'a'}, "\n\tColonna: a", 0},
                      Answer{"column x refused then c", COLUMN_LABEL, {'x', 'c'}, "\n\tColonna: N.A.\n\tColonna: c", 2},
                      Answer{"column digit Ctrl C Enter Escape 200 refused then A", COLUMN_LABEL, {'7', 3, 13, 27, 200, 'A'},
                             "\n\tColonna: N.A.\n\tColonna: N.A.\n\tColonna: N.A.\n\tColonna: N.A."
                             "\n\tColonna: N.A.\n\tColonna: A",
                             0},
                      // Up: the prefix is refused, its second code 72 is the letter H.
                      Answer{"column Up refused then H", COLUMN_LABEL, {224, 72}, "\n\tColonna: N.A.\n\tColonna: H", 7},
                      Answer{"row 7", ROW_LABEL, {'7'}, "\n\tRiga: 7", 7},
                      Answer{"row letter and Up refused then 0", ROW_LABEL, {'c', 224, 72, '0'},
                             "\n\tRiga: N.A.\n\tRiga: N.A.\n\tRiga: N.A.\n\tRiga: 0", 0}),
    case_name<Answer>);

TEST(Input, NoMoreKeysEndsTheQuestion)
{
    script_keys({'x'});
    int target = 0;
    EXPECT_THROW(read_coordinate(target, COLUMN_LABEL), std::runtime_error);
}

TEST(Screens, SolvedFieldWithTheResultThenTheCreditEachUntilAKey)
{
    seed_random(WORKED_SEED);
    std::memset(solution_grid, 0, sizeof solution_grid);
    scatter_bombs(solution_grid);
    count_neighbours(solution_grid);
    const std::string board = drawn(solution_grid);
    for (const char* word : {"VINTO", "PERSO"}) {
        script_keys({'z', 'q', 'x'});
        end_game(word);
        EXPECT_EQ(take_output(), "<clear>" + board + "\n\tHAI " + word + "!!<clear>Creato da Sorvendi\n");
        EXPECT_EQ(read_key(), 'x');  // exactly two keys were taken
    }
}

} // namespace
