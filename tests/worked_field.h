// The field that the clock at second 1000000000 lays out, which every whole-game test plays.
// tests/windows/play_under_wine.sh reads the rows and the covered cells from here too.
#pragma once

#include <cstdint>
#include <set>
#include <sstream>
#include <string>

constexpr std::uint32_t WORKED_SEED = 1000000000;

// B a bomb, . an empty cell, digits the counts.
const char* const WORKED_FIELD[] = {
    "...1B1.111", "...111.1B1", ".......111", "11........", "B2........",
    "B3........", "B3211.....", "2B2B1.....", "11323221..", "..1B2BB1..",
};

// The cells still covered after the first move H4 (cells named as typed: column, then row).
const char* const COVERED_AFTER_H4 = "E0 I0 J0 I1 J1 A4 A5 A6 A7 B7 C7 D7 A8 B8 C8 D8 A9 B9 C9 D9 E9 F9 G9";

inline std::set<std::string> cells(const std::string& names)
{
    std::istringstream in(names);
    std::set<std::string> set;
    for (std::string name; in >> name;) {
        set.insert(name);
    }
    return set;
}

inline std::set<std::string> worked_bombs()
{
    std::set<std::string> bombs;
    for (int row = 0; row < 10; ++row) {
        for (int column = 0; column < 10; ++column) {
            if (WORKED_FIELD[row][column] == 'B') {
                bombs.insert({char('A' + column), char('0' + row)});
            }
        }
    }
    return bombs;
}
