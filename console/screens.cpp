#include "screens.h"

#include <cstdio>

#include "../rules/grid.h"
#include "board.h"
#include "input.h"
#include "terminal.h"

void end_game(const char* word)
{
    clear_screen();
    print_board(solution_grid);
    std::printf("\n\tHAI %s!!", word);
    wait_for_key();
    clear_screen();
    std::printf("Creato da Sorvendi\n");
    wait_for_key();
}
