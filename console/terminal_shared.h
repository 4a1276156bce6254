// What the terminal layers of all platforms share: text held back until the game waits for a
// key, so that a whole screen leaves in one write, and key presses handed out one code at a time.
// Each platform's layer provides the three functions below that.
#pragma once

#include "key_codes.h"

// Puts bytes out on standard output.
void write_out(const char* bytes, int length);
// Waits for the next key press; count 0 when no key can be read any more.
KeyCodes wait_for_key_press();
// Sees each piece of text the game prints, for a layer that must be able to draw it again.
void note_printed_text(const char* text, int length);

void hold_output(const char* bytes, int length);
void hold_output(const char* text);
void send_held_output();
// For text that a clearing of the screen would wipe at once.
void drop_held_output();
