// The console operations as every platform shares them: formatted text held until the game waits
// for a key, and key presses handed out one code at a time.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "../terminal.h"
#include "held_output.h"
#include "platform.h"

namespace {

// A whole screen fits, many times over.
char held[16384];
int held_length = 0;

// The screen since it was last cleared. A player who is refused thousands of times can outgrow
// it; the oldest lines go then, long scrolled off any window.
char screen[16384];
int screen_length = 0;

int second_code = -1;  // of a cursor or function key, handed out on the next call

void remember(const char* text, int length)
{
    const int overflow = screen_length + length - static_cast<int>(sizeof screen);
    if (overflow > 0) {
        const char* line_end = static_cast<const char*>(std::memchr(screen + overflow, '\n',
                                                                     static_cast<size_t>(screen_length - overflow)));
        const int dropped = line_end != nullptr ? static_cast<int>(line_end - screen) : screen_length;
        screen_length -= dropped;
        std::memmove(screen, screen + dropped, static_cast<size_t>(screen_length));
    }
    std::memcpy(screen + screen_length, text, static_cast<size_t>(length));
    screen_length += length;
}

} // namespace

void hold_output(const char* bytes, int length)
{
    if (length > static_cast<int>(sizeof held) - held_length) {
        send_held_output();
    }
    std::memcpy(held + held_length, bytes, static_cast<size_t>(length));
    held_length += length;
}

void hold_output(const char* text) { hold_output(text, static_cast<int>(std::strlen(text))); }

void send_held_output()
{
    if (held_length > 0) {
        write_out(held, held_length);
    }
    held_length = 0;
}

void drop_held_output() { held_length = 0; }

void start_new_screen() { screen_length = 0; }

ScreenText screen_so_far() { return {screen, screen_length}; }

void print_text(const char* format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    const int formatted = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (formatted <= 0) {
        return;
    }
    const int length = formatted < static_cast<int>(sizeof text) ? formatted : static_cast<int>(sizeof text) - 1;
    hold_output(text, length);
    remember(text, length);
}

int read_key()
{
    if (second_code >= 0) {
        const int code = second_code;
        second_code = -1;
        return code;
    }
    send_held_output();
    const KeyCodes key = next_key_press();
    if (key.count == 0) {
        leave_without_terminal();
    }
    if (key.count == 2) {
        second_code = key.codes[1];
    }
    return key.codes[0];
}
