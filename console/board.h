// Drawing a grid as the text board the player reads.
#pragma once

#include "../rules/grid.h"

void print_board(const Grid& grid);
