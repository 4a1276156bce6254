// Drawing a grid as the text board the player reads.
#pragma once

#include "../rules/grid.h"

// The two characters that stand for one cell on the board.
const char* cell_text(std::int32_t value, char (&buffer)[3]);

void print_board(const Grid& grid);
