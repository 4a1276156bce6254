#include "turn.h"

void hide_all()
{
    for (auto& line : display_grid) {
        for (auto& cell : line) {
            cell = HIDDEN;
        }
    }
}

void uncover_cell(int row, int column) { display_grid[row][column] = solution_grid[row][column]; }

bool bomb_shown()
{
    for (const auto& line : display_grid) {
        for (const auto cell : line) {
            if (cell == BOMB) {
                return true;
            }
        }
    }
    return false;
}

namespace {

void uncover_if_inside(int row, int column)
{
    if (row >= 0 && row < GRID_SIZE && column >= 0 && column < GRID_SIZE) {
        uncover_cell(row, column);
    }
}

} // namespace

void open_around_zeros()
{
    // A fixed number of in-place row-major scans, not a flood fill: a region that has to grow
    // up or to the left needs a pass per step, and what 20 passes do not reach opens on later
    // turns. The game is played that way, so it is kept.
    for (int pass = 0; pass < FLOOD_PASSES; ++pass) {
        for (int r = 0; r < GRID_SIZE; ++r) {
            for (int c = 0; c < GRID_SIZE; ++c) {
                if (display_grid[r][c] != 0) {
                    continue;
                }
                uncover_if_inside(r - 1, c - 1);
                uncover_if_inside(r, c - 1);
                uncover_if_inside(r + 1, c - 1);
                uncover_if_inside(r + 1, c);
                uncover_if_inside(r + 1, c + 1);
                uncover_if_inside(r, c + 1);
                uncover_if_inside(r - 1, c + 1);
                uncover_if_inside(r - 1, c);
            }
        }
    }
}

int count_hidden()
{
    int hidden = 0;
    for (const auto& line : display_grid) {
        for (const auto cell : line) {
            if (cell == HIDDEN) {
                ++hidden;
            }
        }
    }
    return hidden;
}

Outcome resolve_turn(int row, int column)
{
    uncover_cell(row, column);
    if (bomb_shown()) {
        return Outcome::LOST;
    }
    open_around_zeros();
    if (count_hidden() == BOMB_COUNT) {
        return Outcome::WON;
    }
    return Outcome::CONTINUE;
}
