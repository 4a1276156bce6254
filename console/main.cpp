#include "../rules/field.h"
#include "../rules/turn.h"
#include "board.h"
#include "input.h"
#include "screens.h"
#include "console.h"

int main()
{
    place_bombs(solution_grid);
    count_neighbours(solution_grid);
    hide_all();
    open_console();

    for (;;) {
        clear_screen();
        print_board(display_grid);
        int column = 0;
        int row = 0;
        read_coordinate(column, COLUMN_LABEL);
        read_coordinate(row, ROW_LABEL);
        switch (resolve_turn(row, column)) {
        case Outcome::LOST:
            end_game("PERSO");
            return 0;
        case Outcome::WON:
            end_game("VINTO");
            return 0;
        case Outcome::CONTINUE:
            break;
        }
    }
}
