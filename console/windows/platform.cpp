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

// Who has the console's modes. The main thread changes them, and a break handler's thread may
// give them back at any moment; each step from one state to the next is one interlocked
// exchange, so that exactly one thread gives them back, never in the middle of a change.
//
// No lock: Windows runs a break's handler on a thread of its own, and ending the process ends
// every other thread wherever it is, so a lock could be left held for ever by a thread that no
// longer exists. A thread that finds the modes CHANGING or GIVING_BACK waits for the thread in
// the middle of it, which is alive: the process ends only from a thread that has seen them
// GIVEN_BACK (the break handler ends it itself, and the main thread's every way out gives them
// back first), and GIVEN_BACK is for good.
enum ModesState : LONG { AS_FOUND, CHANGING, TAKEN, GIVING_BACK, GIVEN_BACK };

// QuickEdit and Insert, which the console lets a program read or set only together with the
// extended flags.
constexpr DWORD EXTENDED_FLAGS = ENABLE_EXTENDED_FLAGS | ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE;

// Everything the game keeps of the console.
struct Console {
    HANDLE input = INVALID_HANDLE_VALUE;  // CONIN$, whatever standard input is
    HANDLE output = INVALID_HANDLE_VALUE;
    bool output_is_console = false;
    DWORD input_mode_found = 0;
    DWORD output_mode_found = 0;
    DWORD input_mode_between_reads = 0;
    DWORD input_mode_reading = 0;
    DWORD output_mode_playing = 0;
    // Which of the modes the console took, written only by the thread that holds them CHANGING.
    bool input_taken = false;
    bool output_taken = false;
    volatile LONG modes = AS_FOUND;
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

// What failed, with the reason the last failed call left.
Failure failure_of(const char* what)
{
    const DWORD error = GetLastError();
    return {what, reason(ERROR_REASONS, static_cast<long>(error)), static_cast<long>(error)};
}

// The state before, which is from when the exchange was made.
LONG exchange_modes(LONG from, LONG to) { return InterlockedCompareExchange(&console.modes, to, from); }

// What "cls" does: blanks the whole screen buffer in its current colours and puts the cursor at
// the top left, which also brings the window back to the top. False, with the reason left, when
// the console refused any of it.
bool blank_console()
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console.output, &info)) {
        return false;
    }
    const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    const COORD top_left = {0, 0};
    DWORD done = 0;
    return FillConsoleOutputCharacterA(console.output, ' ', cells, top_left, &done) &&
           FillConsoleOutputAttribute(console.output, info.wAttributes, cells, top_left, &done) &&
           SetConsoleCursorPosition(console.output, top_left);
}

// Once, from the main thread; when a break has given the modes back already, they stay as they
// are.
Failure take_modes()
{
    if (exchange_modes(AS_FOUND, CHANGING) != AS_FOUND) {
        return NO_FAILURE;
    }
    console.input_taken = SetConsoleMode(console.input, console.input_mode_between_reads) != 0;
    Failure failure = console.input_taken ? NO_FAILURE : failure_of(CANNOT_PREPARE);
    if (console.input_taken && console.output_is_console) {
        console.output_taken = SetConsoleMode(console.output, console.output_mode_playing) != 0;
        failure = console.output_taken ? NO_FAILURE : failure_of(CANNOT_PREPARE);
    }
    InterlockedExchange(&console.modes, TAKEN);
    return failure;
}

// From the main thread. False, with the reason left, when the console refused the mode; true
// also when the modes have been given back, as the game is then ending.
bool set_input_mode(DWORD mode)
{
    if (exchange_modes(TAKEN, CHANGING) != TAKEN) {
        return true;
    }
    const bool set = SetConsoleMode(console.input, mode) != 0;
    const DWORD error = GetLastError();
    InterlockedExchange(&console.modes, TAKEN);
    SetLastError(error);
    return set;
}

// From whichever thread comes first: the main thread at the end, or a break's handler. A mode
// that cannot be given back is not told: it is the one the console itself gave, put back through
// the handle that read it, which the console refuses only once it has gone.
void give_modes_back()
{
    for (;;) {
        const LONG state = exchange_modes(TAKEN, GIVING_BACK);
        if (state == TAKEN) {
            break;
        }
        if (state == GIVEN_BACK || (state == AS_FOUND && exchange_modes(AS_FOUND, GIVEN_BACK) == AS_FOUND)) {
            return;
        }
        // CHANGING or GIVING_BACK: the thread doing it is a few console calls from done.
        Sleep(1);
    }
    if (console.input_taken) {
        SetConsoleMode(console.input, console.input_mode_found);
    }
    if (console.output_taken) {
        SetConsoleMode(console.output, console.output_mode_found);
    }
    InterlockedExchange(&console.modes, GIVEN_BACK);
}

// Ctrl+Break at any moment, Ctrl+C between reads, and the console window closing end the game
// with the status of Windows' own handling, once the modes are back. The handler ends the
// process itself rather than leave it to the default handler's ExitProcess: that would run the
// program's exit handlers and the libraries' detaching on this thread, after the main thread was
// stopped wherever it was, holding whatever it held; TerminateProcess runs nothing more.
BOOL WINAPI end_by_break(DWORD)
{
    give_modes_back();
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return FALSE;  // only if the process could not be ended: the default handling then
}

// One key press from the console, as codes; count 0, with failure saying why, when the console
// cannot be read. The event is read in UTF-16, which leaves the console's code page out of it.
KeyCodes read_key_event(Failure& failure)
{
    for (;;) {
        INPUT_RECORD record;
        DWORD got = 0;
        if (!ReadConsoleInputW(console.input, &record, 1, &got)) {
            failure = failure_of(NEEDS_TERMINAL);
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
    // With standard output closed, the game could only play blind.
    console.output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (console.output == nullptr) {
        return {CANNOT_WRITE, Why::NOT_OPEN, ERROR_INVALID_HANDLE};
    }
    if (console.output == INVALID_HANDLE_VALUE) {
        return failure_of(CANNOT_WRITE);
    }
    console.input = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (console.input == INVALID_HANDLE_VALUE || !GetConsoleMode(console.input, &console.input_mode_found)) {
        return NO_TERMINAL;
    }
    console.output_is_console = GetConsoleMode(console.output, &console.output_mode_found) != 0;

    const DWORD found = console.input_mode_found;
    // QuickEdit would let a click start a selection that holds the game's output until Enter or
    // Escape, an Enter that the game never gets: it is off while the game runs, with Insert as
    // found. Only when the console shows the extended flags in the mode it gives, though: without
    // them it does not tell whether QuickEdit is on, and what cannot be read cannot be given
    // back, so it is left as it is.
    const DWORD extended = (found & ENABLE_EXTENDED_FLAGS) != 0 ? found & (ENABLE_EXTENDED_FLAGS | ENABLE_INSERT_MODE) : 0;
    // Mode 0 but for those: no line editing, no echo, and Ctrl+C is a key (code 3) rather than a
    // signal.
    console.input_mode_reading = extended;
    // Virtual terminal input, left on by another program, would turn keys typed while a screen
    // is drawn into escape text as they enter the buffer, before any read could switch it off.
    console.input_mode_between_reads = (found & ~(ENABLE_VIRTUAL_TERMINAL_INPUT | EXTENDED_FLAGS)) | extended;
    // The screens end their lines with a bare line feed, which must move to the first column of
    // the next line, and parts of them are laid out with tabs: line feeds and tabs are acted on
    // only with processed output.
    console.output_mode_playing =
        (console.output_mode_found | ENABLE_PROCESSED_OUTPUT) & ~static_cast<DWORD>(DISABLE_NEWLINE_AUTO_RETURN);

    // The handler before the modes change: a break in between finds them taken, or gives them
    // up before they are.
    if (!SetConsoleCtrlHandler(end_by_break, TRUE)) {
        return failure_of(CANNOT_PREPARE);
    }
    return take_modes();
}

const char* clear_terminal(Failure& failure)
{
    if (!console.output_is_console) {
        return FORM_FEED;
    }
    if (!blank_console()) {
        failure = failure_of(CANNOT_WRITE);
        return nullptr;
    }
    return "";
}

int write_some(const char* bytes, int length, Failure& failure)
{
    DWORD put = 0;
    if (!WriteFile(console.output, bytes, static_cast<DWORD>(length), &put, nullptr)) {
        failure = failure_of(CANNOT_WRITE);
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
    if (!set_input_mode(console.input_mode_reading)) {
        return {Input::GONE, NO_KEY, failure_of(CANNOT_PREPARE)};
    }
    Failure failure = NO_FAILURE;
    const KeyCodes key = read_key_event(failure);
    if (key.count == 0) {
        return {Input::GONE, NO_KEY, failure};
    }
    if (!set_input_mode(console.input_mode_between_reads)) {
        return {Input::GONE, NO_KEY, failure_of(CANNOT_PREPARE)};
    }
    return {Input::KEY, key};
}

void give_terminal_back() { give_modes_back(); }

// A failure to write here is not told: standard error is where it would be told. The exit
// status still says that the game could not play.
void write_error(const char* text, int length)
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD put = 0;
    while (length > 0 && WriteFile(error, text, static_cast<DWORD>(length), &put, nullptr) && put > 0) {
        text += put;
        length -= static_cast<int>(put);
    }
}
