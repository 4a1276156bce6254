// The console operations as every platform shares them. What the game prints is kept as the
// screen it makes: the part not sent yet leaves in one piece when the game next waits for a key,
// so that a whole screen appears at once, and a screen that must be drawn again is sent anew
// from its start.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../console.h"
#include "messages.h"
#include "platform.h"

namespace {

// The current screen from the bytes that cleared it; before them, a tail of the last screen not
// sent yet. A whole screen fits many times over; a player refused thousands of times can
// outgrow it, and the oldest lines go then, long scrolled off any window.
struct Output {
    char bytes[16384];
    int length = 0;
    int sent = 0;    // what lies before it has been written
    int screen = 0;  // where the current screen starts, with the bytes that cleared it
    int text = 0;    // where its text starts, after them
};

Output output;

int second_code = -1;  // of a cursor or function key, handed out on the next call

[[noreturn]] void leave(const Failure& failure)
{
    give_terminal_back();
    const FailureMessage message = failure_message(failure);
    write_error(message.text, message.length);
    std::_Exit(1);
}

void send_output()
{
    while (output.sent < output.length) {
        Failure failure = NO_FAILURE;
        const int written = write_some(output.bytes + output.sent, output.length - output.sent, failure);
        if (written < 0) {
            leave(failure);
        }
        output.sent = written > 0 ? output.sent + written : output.screen;
    }
}

// Everything before the current screen has gone, or is wiped with the screen's clearing.
void drop_before_screen()
{
    const int kept = output.length - output.screen;
    std::memmove(output.bytes, output.bytes + output.screen, static_cast<size_t>(kept));
    output.sent = output.sent > output.screen ? output.sent - output.screen : 0;
    output.text -= output.screen;
    output.screen = 0;
    output.length = kept;
}

// Makes room for length more bytes by dropping the screen's oldest lines, which have been sent.
void drop_oldest_lines(int length)
{
    const int overflow = output.length + length - static_cast<int>(sizeof output.bytes);
    const int text_length = output.length - output.text;
    char* const text = output.bytes + output.text;
    const char* line_end = overflow < text_length ? static_cast<const char*>(std::memchr(
                                                        text + overflow, '\n', static_cast<size_t>(text_length - overflow)))
                                                  : nullptr;
    const int dropped = line_end != nullptr ? static_cast<int>(line_end - text) : text_length;
    std::memmove(text, text + dropped, static_cast<size_t>(text_length - dropped));
    output.length -= dropped;
    output.sent = output.length;
}

void add_output(const char* bytes, int length)
{
    if (output.length + length > static_cast<int>(sizeof output.bytes)) {
        send_output();
        drop_before_screen();
        drop_oldest_lines(length);
    }
    std::memcpy(output.bytes + output.length, bytes, static_cast<size_t>(length));
    output.length += length;
}

// The normal end: the last screen goes out before the terminal is given back, also when the
// key that ended the game had a second code still to hand out.
void close_console()
{
    send_output();
    give_terminal_back();
}

} // namespace

void open_console()
{
    const Failure failure = take_console();
    if (failure.what != nullptr) {
        leave(failure);
    }
    std::atexit(close_console);
}

void clear_screen()
{
    // Keeps only what is still to be sent of the last screen: it goes out with the new one.
    output.screen = output.sent;
    drop_before_screen();
    Failure failure = NO_FAILURE;
    const char* clearing = clear_terminal(failure);
    if (clearing == nullptr) {
        leave(failure);
    }
    if (*clearing == '\0') {
        output.length = 0;  // cleared already: what was still to be sent would be wiped at once
    }
    output.screen = output.length;
    add_output(clearing, static_cast<int>(std::strlen(clearing)));
    output.text = output.length;
}

void print_text(const char* format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    errno = 0;
    const int formatted = std::vsnprintf(text, sizeof text, format, arguments);
    const int error = errno;
    va_end(arguments);
    // The game's formats hold nothing that can fail (no wide characters, nothing near INT_MAX
    // long), so a failure is a fault of the program's own, told as a failure to write what it
    // meant to show.
    if (formatted < 0) {
        leave({CANNOT_WRITE, Why::OTHER, error});
    }
    if (formatted > 0) {
        add_output(text, formatted < static_cast<int>(sizeof text) ? formatted : static_cast<int>(sizeof text) - 1);
    }
}

int read_key()
{
    if (second_code >= 0) {
        const int code = second_code;
        second_code = -1;
        return code;
    }
    for (;;) {
        send_output();
        const Input input = next_input();
        switch (input.what) {
        case Input::KEY:
            if (input.key.count == 2) {
                second_code = input.key.codes[1];
            }
            return input.key.codes[0];
        case Input::REDRAW:
            output.sent = output.screen;
            break;
        case Input::GONE:
            leave(input.failure);
        }
    }
}
