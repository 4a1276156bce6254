#include "screens.h"

#include "../rules/grid.h"
#include "board.h"
#include "console.h"

void end_game(const char* word)
{
    clear_screen();
    print_board(solution_grid);
    print_text("\n\tHAI %s!!", word);
    read_key();
    clear_screen();
    print_text("Creato da Sorvendi\n");
    read_key();
}
