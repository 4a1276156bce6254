// A terminal for tests: keys come from a script, and what the game writes is kept as text.
#pragma once

#include <string>
#include <vector>

// Codes that read_key will hand out, in order; once they run out, no terminal is left (the
// game's way out then throws std::runtime_error).
void script_keys(const std::vector<int>& codes);

// Everything written since the last call, with each clear_screen shown as "<clear>".
std::string take_output();
