// Text on its way to standard output, held back until the game waits for a key, so that a
// whole screen leaves in one write and nothing flickers over a slow link.
#pragma once

#include <cstdarg>

// Puts bytes out on standard output; each platform's terminal layer writes it.
void write_out(const char* bytes, int length);

void hold_output(const char* bytes, int length);
void hold_output(const char* text);
void send_held_output();
// For text that a clearing of the screen would wipe at once.
void drop_held_output();

// Formats as printf does into text[0..size); returns the length kept.
int format_text(char* text, int size, const char* format, va_list arguments);
