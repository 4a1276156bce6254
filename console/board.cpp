#include "board.h"

#include "console.h"

namespace {

// Every cell is two characters wide, right under its column's letter.
void print_cell(std::int32_t value)
{
    if (value == 0) {
        print_text("  ");
    } else if (value == HIDDEN) {
        print_text(" #");
    } else if (value == BOMB) {
        print_text(" B");
    } else {
        print_text("%2d", static_cast<int>(value));
    }
}

} // namespace

void print_board(const Grid& grid)
{
    print_text("\n     A B C D E F G H I J\n\n");
    for (int row = 0; row < GRID_SIZE; ++row) {
        print_text(" %2d ", row);
        for (int column = 0; column < GRID_SIZE; ++column) {
            print_cell(grid[row][column]);
        }
        print_text("\n");
    }
}
