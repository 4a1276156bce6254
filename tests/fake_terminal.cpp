// The platform's part of the console, scripted: print_text, clear_screen and read_key are the
// real ones.
#include "fake_terminal.h"

#include <deque>
#include <stdexcept>

#include "console/common/platform.h"
#include "console/console.h"

namespace {
std::deque<int> keys;
std::string output;
bool keys_held_back = false;  // the next read finds no key, as if the terminal were gone
} // namespace

void script_keys(const std::vector<int>& codes) { keys.assign(codes.begin(), codes.end()); }

std::string take_output()
{
    // What is held goes out when the game waits for a key. A wait that finds no terminal ends in
    // the way out, which throws here, and the scripted keys stay for the test.
    keys_held_back = true;
    try {
        read_key();
    } catch (const std::runtime_error&) {
    }
    keys_held_back = false;
    std::string taken;
    taken.swap(output);
    return taken;
}

Failure take_console() { return NO_FAILURE; }

const char* clear_terminal(Failure&) { return "<clear>"; }

int write_some(const char* bytes, int length, Failure&)
{
    output.append(bytes, static_cast<size_t>(length));
    return length;
}

// One code per key press: a scripted pair such as 224, 72 comes as two presses, which the game
// cannot tell from one key of two codes.
Input next_input()
{
    if (keys.empty() || keys_held_back) {
        return {Input::GONE, NO_KEY};
    }
    const int code = keys.front();
    keys.pop_front();
    return {Input::KEY, {1, {code, 0}}};
}

// Every way out gives the terminal back first: here it throws instead of ending the tests.
void give_terminal_back() { throw std::runtime_error("the game leaves"); }

void write_error(const char*, int) {}
