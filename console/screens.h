// The closing screens: the solved field with the result, then the credit.
#pragma once

// word is "VINTO" or "PERSO".
void end_game(const char* word);
