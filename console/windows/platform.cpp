// The console on Windows: keys come from the console input device one event at a time, with its
// input mode switched off while a key is awaited; the window is cleared through the console API;
// and what the game writes leaves in one write per wait for a key, as bytes, with no line end
// translation. The console's modes are the game's from start to end and go back as found,
// whichever thread ends the game.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "../common/platform.h"
#include "key_events.h"

namespace {

// Whether the game holds the console's modes. Once given back they stay as found: the game is
// ending.
enum class Modes { AS_FOUND, TAKEN, GIVEN_BACK };

// Everything the game keeps of the console.
struct Console {
    HANDLE input = INVALID_HANDLE_VALUE;  // CONIN$, whatever standard input is
    HANDLE output = INVALID_HANDLE_VALUE;
    bool output_is_console = false;
    // The modes as found, and the input mode between reads. Only with modes_lock held are the
    // modes changed or modes looked at: the break handler's thread puts them back too.
    DWORD input_mode_found = 0;
    DWORD output_mode_found = 0;
    DWORD input_mode_between_reads = 0;
    CRITICAL_SECTION modes_lock;
    Modes modes = Modes::AS_FOUND;
    // The presses of a held key that the console merged into the event last read, still to
    // hand out.
    KeyCodes repeated_key = NO_KEY;
    int repeats_left = 0;
    KeyEventState key_events;
};

Console console;

// The errors a player can act on. Windows has no signal for a pipe that nobody reads: it is told
// like any other failure, by whichever of its three numbers the pipe gives.
constexpr ErrorReason ERROR_REASONS[] = {
    {ERROR_DISK_FULL, Why::DISK_FULL},     {ERROR_HANDLE_DISK_FULL, Why::DISK_FULL},
    {ERROR_BROKEN_PIPE, Why::PIPE_CLOSED}, {ERROR_NO_DATA, Why::PIPE_CLOSED},
    {ERROR_PIPE_NOT_CONNECTED, Why::PIPE_CLOSED},
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

void take_modes()
{
    EnterCriticalSection(&console.modes_lock);
    if (console.modes == Modes::AS_FOUND) {
        console.modes = Modes::TAKEN;
        SetConsoleMode(console.input, console.input_mode_between_reads);
        if (console.output_is_console) {
            // The screens end their lines with a bare line feed, which must also return to the
            // first column.
            SetConsoleMode(console.output,
                           console.output_mode_found & ~static_cast<DWORD>(DISABLE_NEWLINE_AUTO_RETURN));
        }
    }
    LeaveCriticalSection(&console.modes_lock);
}

void set_input_mode(DWORD mode)
{
    EnterCriticalSection(&console.modes_lock);
    if (console.modes == Modes::TAKEN) {
        SetConsoleMode(console.input, mode);
    }
    LeaveCriticalSection(&console.modes_lock);
}

// Once, from whichever thread comes first: the main thread at the end, or the break handler.
void give_modes_back()
{
    EnterCriticalSection(&console.modes_lock);
    if (console.modes == Modes::TAKEN) {
        SetConsoleMode(console.input, console.input_mode_found);
        if (console.output_is_console) {
            SetConsoleMode(console.output, console.output_mode_found);
        }
    }
    console.modes = Modes::GIVEN_BACK;
    LeaveCriticalSection(&console.modes_lock);
}

// Ctrl+Break at any moment, and Ctrl+C between reads, end the game through the default handling;
// the modes go back first so that the console is left as found.
BOOL WINAPI put_modes_back(DWORD)
{
    give_modes_back();
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

Failure take_console()
{
    // First, for leaving without a terminal gives the modes back too, though none were taken.
    InitializeCriticalSection(&console.modes_lock);
    console.input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (console.input == INVALID_HANDLE_VALUE || !GetConsoleMode(console.input, &console.input_mode_found)) {
        return NO_TERMINAL;
    }
    console.output = GetStdHandle(STD_OUTPUT_HANDLE);
    console.output_is_console = GetConsoleMode(console.output, &console.output_mode_found) != 0;
    // Virtual terminal input, left on by another program, would turn keys typed while a screen
    // is drawn into escape text as they enter the buffer, before any read could switch it off.
    console.input_mode_between_reads = console.input_mode_found & ~static_cast<DWORD>(ENABLE_VIRTUAL_TERMINAL_INPUT);
    // The handler before the modes change: a break in between finds them taken, or gives them
    // up before they are.
    SetConsoleCtrlHandler(put_modes_back, TRUE);
    take_modes();
    return NO_FAILURE;
}

const char* clear_terminal()
{
    if (!console.output_is_console) {
        return FORM_FEED;
    }
    blank_console();
    return "";
}

int write_some(const char* bytes, int length, Failure& failure)
{
    DWORD put = 0;
    if (!WriteFile(console.output, bytes, static_cast<DWORD>(length), &put, nullptr)) {
        const DWORD error = GetLastError();
        failure = {CANNOT_WRITE, reason(ERROR_REASONS, static_cast<long>(error)), static_cast<long>(error)};
        return -1;
    }
    if (put == 0) {
        failure = {CANNOT_WRITE, Why::DEVICE_ERROR, ERROR_WRITE_FAULT};
        return -1;
    }
    return static_cast<int>(put);
}

Input next_input()
{
    if (console.repeats_left > 0) {
        --console.repeats_left;
        return {Input::KEY, console.repeated_key};
    }
    // Mode 0: no line editing, no echo, and Ctrl+C is a key (code 3) rather than a signal.
    set_input_mode(0);
    const KeyCodes key = read_key_event();
    set_input_mode(console.input_mode_between_reads);
    return {key.count > 0 ? Input::KEY : Input::GONE, key};
}

void give_terminal_back() { give_modes_back(); }

void write_error(const char* text, int length)
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD put = 0;
    while (length > 0 && WriteFile(error, text, static_cast<DWORD>(length), &put, nullptr) && put > 0) {
        text += put;
        length -= static_cast<int>(put);
    }
}
