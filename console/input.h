// Asking the player for one coordinate, one key press at a time.
#pragma once

constexpr const char* COLUMN_LABEL = "Colonna";
constexpr const char* ROW_LABEL = "Riga";

// Whether the key code answers the question that the label asks.
bool key_accepted(int code, const char* label);

// The next key press; when the terminal can give none, the game ends there.
int wait_for_key();

// Asks under the label until a fitting key comes, echoes it and stores its value (0..9).
void read_coordinate(int& target, const char* label);
