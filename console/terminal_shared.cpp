#include "terminal_shared.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "terminal.h"

namespace {
// A whole screen fits.
char held[16384];
int held_length = 0;
int queued_code = -1;  // the second code of a cursor or function key
} // namespace

void hold_output(const char* bytes, int length)
{
    if (length > static_cast<int>(sizeof held) - held_length) {
        send_held_output();
    }
    if (length > static_cast<int>(sizeof held)) {
        write_out(bytes, length);
        return;
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
    note_printed_text(text, length);
}

int read_key()
{
    if (queued_code >= 0) {
        const int code = queued_code;
        queued_code = -1;
        return code;
    }
    send_held_output();
    const KeyCodes key = wait_for_key_press();
    if (key.count == 0) {
        return -1;
    }
    if (key.count == 2) {
        queued_code = key.codes[1];
    }
    return key.codes[0];
}
