// The field and the player's view of it, shared by the rules and the console.
#pragma once

#include <cstdint>

constexpr int GRID_SIZE = 10;
constexpr int BOMB_COUNT = 10;
constexpr int FLOOD_PASSES = 20;

// Cell codes. HIDDEN appears only in the player's view.
constexpr std::int32_t HIDDEN = -2;
constexpr std::int32_t BOMB = -1;

// Row by row: grid[row][column], row 0 at the top, column 0 is the letter A.
using Grid = std::int32_t[GRID_SIZE][GRID_SIZE];

enum class Outcome { CONTINUE, LOST, WON };

// Both live for the whole run and start all zero.
extern Grid solution_grid;
extern Grid display_grid;
