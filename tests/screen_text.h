// The text the game shows for the field that the clock at 1000000000 lays out, as the whole-game
// tests expect it on the terminal.
#pragma once

#include <set>
#include <string>

#include "worked_field.h"

// What the game sends when it takes the terminal, at the start and again after a stop: the
// alternate screen, keypad transmit mode, "meta sends escape" saved, then set. And when it gives
// the terminal back: keypad transmit mode off, "meta sends escape" restored, the player's screen.
const std::string GAME_SCREEN_ON = "\x1b[?1049h\x1b[?1h\x1b=\x1b[?1036s\x1b[?1036h";
const std::string GAME_SCREEN_OFF = "\x1b[?1l\x1b>\x1b[?1036r\x1b[?1049l";
const std::string CLEAR = "\x1b[H\x1b[2J";


// The board as the player sees it with the named cells ("E0": column, then row) covered.
inline std::string board(const std::set<std::string>& hidden)
{
    std::string text = "\n     A B C D E F G H I J\n\n";
    for (int row = 0; row < 10; ++row) {
        text += "  " + std::to_string(row) + " ";
        for (int column = 0; column < 10; ++column) {
            const std::string name = {char('A' + column), char('0' + row)};
            const char cell = WORKED_FIELD[row][column];
            text += hidden.count(name) ? " #" : cell == '.' ? "  " : std::string(" ") + cell;
        }
        text += "\n";
    }
    return text;
}

inline std::set<std::string> all_cells()
{
    std::set<std::string> cells;
    for (char column = 'A'; column <= 'J'; ++column) {
        for (char row = '0'; row <= '9'; ++row) {
            cells.insert({column, row});
        }
    }
    return cells;
}

inline std::string prompt(const std::string& label) { return "\n\t" + label + ": "; }

// What reaches the terminal: its output processing turns each line end into CR LF.
inline std::string on_terminal(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

const std::string FIRST_FRAME = GAME_SCREEN_ON + CLEAR + board(all_cells()) + prompt("Colonna");

// The game lost at E0, from the column's echo to the credit screen.
const std::string LOSING_END =
    "e" + prompt("Riga") + "0" + CLEAR + board({}) + "\n\tHAI PERSO!!" + CLEAR + "Creato da Sorvendi\n";
