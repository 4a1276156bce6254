// The platform's part of the console, scripted: print_text and read_key are the real ones.
#include "fake_terminal.h"

#include <deque>
#include <stdexcept>

#include "console/common/held_output.h"
#include "console/common/platform.h"
#include "console/terminal.h"

namespace {
std::deque<int> keys;
std::string output;
} // namespace

void script_keys(const std::vector<int>& codes) { keys.assign(codes.begin(), codes.end()); }

std::string take_output()
{
    send_held_output();
    std::string taken;
    taken.swap(output);
    return taken;
}

void open_console() {}

void clear_screen()
{
    hold_output("<clear>");
    start_new_screen();
}

void write_out(const char* bytes, int length) { output.append(bytes, static_cast<size_t>(length)); }

// One code per key press: a scripted pair such as 224, 72 comes as two presses, which the game
// cannot tell from one key of two codes.
KeyCodes next_key_press()
{
    if (keys.empty()) {
        return NO_KEY;
    }
    const int code = keys.front();
    keys.pop_front();
    return {1, {code, 0}};
}

void leave_without_terminal() { throw std::runtime_error("no terminal"); }
