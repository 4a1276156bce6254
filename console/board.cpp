#include "board.h"

#include <cstdio>

#include "terminal.h"

const char* cell_text(std::int32_t value, char (&buffer)[3])
{
    if (value == 0) {
        return "  ";
    }
    if (value == HIDDEN) {
        return " #";
    }
    if (value == BOMB) {
        return " B";
    }
    std::snprintf(buffer, sizeof buffer, "%2d", static_cast<int>(value));
    return buffer;
}

void print_board(const Grid& grid)
{
    print_text("\n     A B C D E F G H I J\n\n");
    for (int row = 0; row < GRID_SIZE; ++row) {
        print_text(" %2d ", row);
        for (int column = 0; column < GRID_SIZE; ++column) {
            char buffer[3];
            print_text("%s", cell_text(grid[row][column], buffer));
        }
        print_text("\n");
    }
}
