// The console on Windows: keys come from the console input device one event at a time, with its
// input mode switched off only while a key is awaited; the window is cleared through the console
// API; and what the game writes leaves in one write per wait for a key, as bytes, with no line
// end translation.
#include "../terminal.h"

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "../common/messages.h"
#include "../common/platform.h"
#include "key_events.h"

namespace {

// Everything the game keeps of the console.
struct Console {
    HANDLE input = INVALID_HANDLE_VALUE;  // CONIN$, whatever standard input is
    HANDLE output = INVALID_HANDLE_VALUE;
    bool output_is_console = false;
    // The input mode found when the current read began, for the break handler to put back;
    // reading is set only while the mode is switched off.
    DWORD mode_before_read = 0;
    volatile LONG reading = 0;
    // The presses of a held key that the console merged into the event last read, still to
    // hand out.
    KeyCodes repeated_key = NO_KEY;
    int repeats_left = 0;
    KeyEventState key_events;
};

Console console;

// The errors a player can act on. Windows has no signal for a pipe that nobody reads: it is told
// like any other failure.
constexpr ErrorReason ERROR_REASONS[] = {
    {ERROR_DISK_FULL, Why::DISK_FULL},     {ERROR_HANDLE_DISK_FULL, Why::DISK_FULL},
    {ERROR_BROKEN_PIPE, Why::PIPE_CLOSED}, {ERROR_NO_DATA, Why::PIPE_CLOSED},
    {ERROR_INVALID_HANDLE, Why::NOT_OPEN}, {ERROR_WRITE_FAULT, Why::DEVICE_ERROR},
};

// What "cls" does: blanks the whole screen buffer in its current colours and puts the cursor at
// the top left, which also brings the window back to the top.
void blank_console()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console.output, &info)) {
        return;
    }
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    const COORD top_left = {0, 0};
    DWORD done = 0;
    FillConsoleOutputCharacterA(console.output, ' ', cells, top_left, &done);
    FillConsoleOutputAttribute(console.output, info.wAttributes, cells, top_left, &done);
    SetConsoleCursorPosition(console.output, top_left);
}

// Ctrl+Break ends the game through the default handling even while a key is awaited, when the
// input mode is switched off; the mode goes back first so that the console is left as found.
BOOL WINAPI put_mode_back(DWORD)
{
    if (console.reading != 0) {
        SetConsoleMode(console.input, console.mode_before_read);
    }
    return FALSE;
}

// One key press from the console, as codes; count 0 when the console cannot be read. The event
// is read in UTF-16, which leaves the console's code page out of it.
KeyCodes read_key_event()
{
    for (;;) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputW(console.input, &record, 1, &got)) {
            return NO_KEY;
        }
        if (got != 1 || record.EventType != KEY_EVENT) {
            continue;
        }
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        const KeyCodes codes = translate_key_event(console.key_events, key.bKeyDown != 0, key.wVirtualKeyCode, key.dwControlKeyState,
                                                   key.uChar.UnicodeChar);
        if (codes.count > 0) {
            console.repeated_key = codes;
            console.repeats_left = key.wRepeatCount > 1 ? key.wRepeatCount - 1 : 0;
            return codes;
        }
    }
}

} // namespace

// ---- What the shared part asks of this platform.

void take_console()
{
    console.input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD mode = 0;
    if (console.input == INVALID_HANDLE_VALUE || !GetConsoleMode(console.input, &mode)) {
        leave_without_terminal();
    }
    console.output = GetStdHandle(STD_OUTPUT_HANDLE);
    console.output_is_console = GetConsoleMode(console.output, &mode) != 0;
    SetConsoleCtrlHandler(put_mode_back, TRUE);
}

bool output_is_terminal() { return console.output_is_console; }

const char* clear_terminal()
{
    blank_console();
    return "";
}

// Output fails only outside a wait for a key, with the console's input mode as found.
int write_some(const char* bytes, int length)
{
    DWORD put = 0;
    if (!WriteFile(console.output, bytes, static_cast<DWORD>(length), &put, nullptr)) {
        const DWORD error = GetLastError();
        leave(CANNOT_WRITE, reason(ERROR_REASONS, static_cast<long>(error)), static_cast<long>(error));
    }
    if (put == 0) {
        leave(CANNOT_WRITE, Why::DEVICE_ERROR, ERROR_WRITE_FAULT);
    }
    return static_cast<int>(put);
}

Input next_input()
{
    if (console.repeats_left > 0) {
        --console.repeats_left;
        return {Input::KEY, console.repeated_key};
    }
    if (!GetConsoleMode(console.input, &console.mode_before_read)) {
        return {Input::GONE, NO_KEY};
    }
    // Mode 0: no line editing, no echo, and Ctrl+C is a key (code 3) rather than a signal.
    InterlockedExchange(&console.reading, 1);
    SetConsoleMode(console.input, 0);
    const KeyCodes key = read_key_event();
    SetConsoleMode(console.input, console.mode_before_read);
    InterlockedExchange(&console.reading, 0);
    return {key.count > 0 ? Input::KEY : Input::GONE, key};
}

// The input mode is changed only while a key is awaited, and the output needs nothing undone.
void give_terminal_back() {}

void write_error(const char* text, int length)
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD put = 0;
    while (length > 0 && WriteFile(error, text, static_cast<DWORD>(length), &put, nullptr) && put > 0) {
        text += put;
        length -= static_cast<int>(put);
    }
}
