// The player's view of the field and what one move does to it.
#pragma once

#include "grid.h"

void hide_all();
void uncover_cell(int row, int column);
bool bomb_shown();
void open_around_zeros();
int count_hidden();
Outcome resolve_turn(int row, int column);
