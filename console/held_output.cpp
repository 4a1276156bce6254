#include "held_output.h"

#include <cstdio>
#include <cstring>

namespace {
// A whole screen fits.
char held[16384];
int held_length = 0;
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

int format_text(char* text, int size, const char* format, va_list arguments)
{
    const int length = std::vsnprintf(text, static_cast<size_t>(size), format, arguments);
    if (length < 0) {
        return 0;
    }
    return length < size ? length : size - 1;
}
