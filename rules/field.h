// Laying out the hidden field, once per run.
#pragma once

#include "grid.h"

// Seeds the generator from the clock, then scatters the bombs.
void place_bombs(Grid& grid);

// Puts BOMB_COUNT bombs into the all-zero grid with the generator as it stands.
void scatter_bombs(Grid& grid);

// Writes into every cell that is not a bomb the number of bombs that touch it.
void count_neighbours(Grid& grid);
