#include "field.h"

#include <ctime>

#include "random.h"

void place_bombs(Grid& grid)
{
    // Truncated to 32 bits: two runs started in the same second share a field.
    seed_random(static_cast<std::uint32_t>(std::time(nullptr)));
    scatter_bombs(grid);
}

void scatter_bombs(Grid& grid)
{
    int placed = 0;
    while (placed < BOMB_COUNT) {
        // The row is always drawn before the column; a draw on a bomb throws both away.
        const int row = next_random() % GRID_SIZE;
        const int column = next_random() % GRID_SIZE;
        if (grid[row][column] != 0) {
            continue;
        }
        grid[row][column] = BOMB;
        ++placed;
    }
}

namespace {

int bombs_around(const Grid& grid, int row, int column)
{
    int bombs = 0;
    for (int r = row - 1; r <= row + 1; ++r) {
        for (int c = column - 1; c <= column + 1; ++c) {
            const bool inside = r >= 0 && r < GRID_SIZE && c >= 0 && c < GRID_SIZE;
            if (inside && (r != row || c != column) && grid[r][c] == BOMB) {
                ++bombs;
            }
        }
    }
    return bombs;
}

} // namespace

void count_neighbours(Grid& grid)
{
    for (int row = 0; row < GRID_SIZE; ++row) {
        for (int column = 0; column < GRID_SIZE; ++column) {
            if (grid[row][column] != BOMB) {
                grid[row][column] = bombs_around(grid, row, column);
            }
        }
    }
}
