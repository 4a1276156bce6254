#include "fake_terminal.h"

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <stdexcept>

#include "console/terminal.h"

namespace {
std::deque<int> keys;
std::string output;
} // namespace

void script_keys(const std::vector<int>& codes) { keys.assign(codes.begin(), codes.end()); }

std::string take_output()
{
    std::string taken;
    taken.swap(output);
    return taken;
}

bool open_console() { return true; }

void clear_screen() { output += "<clear>"; }

void print_text(const char* format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    output += text;
}

int read_key()
{
    if (keys.empty()) {
        return -1;
    }
    const int code = keys.front();
    keys.pop_front();
    return code;
}

void leave_without_terminal() { throw std::runtime_error("no terminal"); }
