// Asking the player for one coordinate, one key press at a time.
#pragma once

constexpr const char* COLUMN_LABEL = "Colonna";
constexpr const char* ROW_LABEL = "Riga";

// Whether the key code answers the question that the label asks.
bool key_accepted(int code, const char* label);

// Asks under the label until a fitting key comes, echoes it and stores its value (0..9).
void read_coordinate(int& target, const char* label);
