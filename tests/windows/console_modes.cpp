// The game run by this program in the same console, in a console whose modes another program
// left: set as programs with virtual terminal output leave them (virtual terminal input on, and
// line feeds that do not return to the first column), or with output that is not processed, and
// QuickEdit on, off, or not shown. The modes are set before each game and read while it runs and
// after it ends, the screen is read from the console, and keys go into the console's input while
// the game waits for one, as console_keys does.
//
//   console_modes.exe <the game, as a Windows path>
//
// Prints one line per check and exits with 1 if any fails.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD TIMEOUT_MS = 60000;

const char* game = nullptr;
HANDLE input = INVALID_HANDLE_VALUE;   // CONIN$
HANDLE output = INVALID_HANDLE_VALUE;  // CONOUT$, inherited as the game's standard output
int failed = 0;

// The modes a game starts from, and those it must keep while it runs.
struct Modes {
    const char* name;
    DWORD input;
    DWORD output;
};

constexpr DWORD EXTENDED_FLAGS = ENABLE_EXTENDED_FLAGS | ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE;

// QuickEdit off, Insert as found, when the mode shows them; else nothing of the three.
DWORD extended_while_playing(const Modes& found)
{
    return (found.input & ENABLE_EXTENDED_FLAGS) != 0 ? found.input & (ENABLE_EXTENDED_FLAGS | ENABLE_INSERT_MODE) : 0;
}

DWORD input_mode_reading(const Modes& found) { return extended_while_playing(found); }

DWORD input_mode_between_reads(const Modes& found)
{
    return (found.input & ~(ENABLE_VIRTUAL_TERMINAL_INPUT | EXTENDED_FLAGS)) | extended_while_playing(found);
}

DWORD output_mode_playing(const Modes& found)
{
    return (found.output | ENABLE_PROCESSED_OUTPUT) & ~static_cast<DWORD>(DISABLE_NEWLINE_AUTO_RETURN);
}

// As a program with virtual terminal output leaves them, on a console that shows QuickEdit on.
constexpr Modes VIRTUAL_TERMINAL = {"virtual terminal modes", 0x3f7, 0xf};

Modes found = VIRTUAL_TERMINAL;  // those of the game being played

void check(bool ok, const std::string& what)
{
    failed += ok ? 0 : 1;
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
    std::fflush(stdout);
}

std::string hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%#lx", static_cast<unsigned long>(value));
    return text;
}

DWORD input_mode()
{
    DWORD mode = 0;
    GetConsoleMode(input, &mode);
    return mode;
}

DWORD output_mode()
{
    DWORD mode = 0;
    GetConsoleMode(output, &mode);
    return mode;
}

bool modes_as_found() { return input_mode() == found.input && output_mode() == found.output; }

bool set_modes_found(const Modes& modes)
{
    found = modes;
    SetConsoleMode(input, found.input);
    SetConsoleMode(output, found.output);
    return modes_as_found();
}

std::string modes_text() { return "input mode " + hex(input_mode()) + ", output mode " + hex(output_mode()); }

// The game in this console, with the standard handles given.
PROCESS_INFORMATION start_game(HANDLE standard_output, HANDLE standard_error)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = standard_output;
    startup.hStdError = standard_error;
    std::string command = std::string("\"") + game + "\"";
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("FAIL cannot start %s: error %lu\n", game, static_cast<unsigned long>(GetLastError()));
        std::fflush(stdout);
        ExitProcess(1);
    }
    CloseHandle(process.hThread);
    return process;
}

bool ended(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

bool reading() { return input_mode() == input_mode_reading(found); }

// Until the game waits for a key: its input mode off and every key given before read. False when
// the game ended instead, or did neither in time.
bool wait_for_read(HANDLE process)
{
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < TIMEOUT_MS) {
        DWORD events = 1;
        if (reading() && GetNumberOfConsoleInputEvents(input, &events) && events == 0) {
            return true;
        }
        if (ended(process)) {
            return false;
        }
        Sleep(1);
    }
    return false;
}

// A key press with no release, which the game would skip anyway: the input is empty again once
// the game has read it.
void press(char c)
{
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    key.bKeyDown = TRUE;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = static_cast<WORD>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    key.uChar.UnicodeChar = static_cast<WCHAR>(c);
    DWORD written = 0;
    WriteConsoleInputW(input, &record, 1, &written);
}

// A game that has not ended in time is ended here, so that it takes no keys of the next one.
DWORD exit_status(HANDLE process)
{
    DWORD status = STILL_ACTIVE;
    if (WaitForSingleObject(process, TIMEOUT_MS) != WAIT_OBJECT_0) {
        TerminateProcess(process, STILL_ACTIVE);
        WaitForSingleObject(process, TIMEOUT_MS);
    } else {
        GetExitCodeProcess(process, &status);
    }
    CloseHandle(process);
    return status;
}

// Every cell in turn, column then row, until the game is lost (or won); then keys that end it.
char key_number(int keys)
{
    const int cell = keys / 2;
    if (cell >= 100) {
        return 'x';
    }
    return static_cast<char>(keys % 2 == 0 ? 'A' + cell / 10 : '0' + cell % 10);
}

// The rows of the console's screen buffer from the top, without the spaces that end them.
std::string screen_rows(int rows)
{
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    GetConsoleScreenBufferInfo(output, &info);
    const DWORD width = static_cast<DWORD>(info.dwSize.X) < 256 ? static_cast<DWORD>(info.dwSize.X) : 256;
    std::string text;
    for (SHORT row = 0; row < rows; ++row) {
        char cells[256];
        DWORD got = 0;
        ReadConsoleOutputCharacterA(output, cells, width, COORD{0, row}, &got);
        std::string line;
        for (DWORD cell = 0; cell < got; ++cell) {
            // A line feed or tab that was not acted on shows as a cell of its own.
            line += cells[cell] == '\n' ? "\\n" : cells[cell] == '\t' ? "\\t" : std::string(1, cells[cell]);
        }
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "|";
    }
    return text;
}

// The first screen, as the console must show it: line feeds that begin the next line at its
// first column, the prompt after a tab, and nothing below it.
std::string first_screen()
{
    std::string text = "|     A B C D E F G H I J||";
    for (int row = 0; row < 10; ++row) {
        text += "  " + std::to_string(row) + "  # # # # # # # # # #|";
    }
    return text + "|        Colonna:||";
}

void whole_game(const Modes& modes)
{
    if (!set_modes_found(modes)) {
        check(false, std::string(found.name) + ": the console does not keep the modes set, " + modes_text());
        return;
    }
    const std::string name = std::string(found.name) + " (" + modes_text() + ")";
    const PROCESS_INFORMATION game_process = start_game(output, output);
    const DWORD playing = output_mode_playing(found);
    const DWORD between_reads = input_mode_between_reads(found);
    const std::string expected_screen = first_screen();
    std::string screen;
    int keys = 0;
    int output_wrong = 0;
    int between_reads_seen = 0;
    int between_reads_wrong = 0;
    DWORD wrong_mode = 0;
    bool found_seen = false;  // the modes as found, since the last key: right only at the end
    while (wait_for_read(game_process.hProcess)) {
        if (keys == 0) {
            screen = screen_rows(16);
        }
        if (found_seen) {
            ++between_reads_wrong;
            wrong_mode = found.input;
        }
        output_wrong += output_mode() == playing ? 0 : 1;
        press(key_number(keys));
        ++keys;
        // The input mode, as often as it can be read until the game waits again or ends: what
        // is not the mode for reading is the mode between reads, caught while a screen is drawn.
        DWORD events = 1;
        while (!ended(game_process.hProcess) && !(GetNumberOfConsoleInputEvents(input, &events) && events == 0 && reading())) {
            const DWORD mode = input_mode();
            if (mode == found.input) {
                found_seen = true;
            } else if (mode != input_mode_reading(found)) {
                ++between_reads_seen;
                if (mode != between_reads) {
                    ++between_reads_wrong;
                    wrong_mode = mode;
                }
            }
        }
    }
    const DWORD status = exit_status(game_process.hProcess);
    check(status == 0, name + ": " + std::to_string(keys) + " keys, exit status " + hex(status));
    check(screen == expected_screen, name + ": the first screen " + (screen == expected_screen ? "as laid out" : "is \"" + screen + "\""));
    check(output_wrong == 0, name + ": output mode " + hex(playing) +
                                 " (processed, line feeds return) at every wait for a key, wrong at " +
                                 std::to_string(output_wrong));
    const std::string wrong = between_reads_wrong == 0 ? ""
                                                       : "; " + hex(wrong_mode) + " seen instead " +
                                                             std::to_string(between_reads_wrong) + " times";
    check(between_reads_wrong == 0, name + ": input mode " + hex(between_reads) +
                                        " (no virtual terminal input, QuickEdit off if shown) between reads and " +
                                        hex(input_mode_reading(found)) + " during them, between reads seen " +
                                        std::to_string(between_reads_seen) + " times" + wrong);
    check(modes_as_found(), name + ": as found afterwards, " + modes_text());
}

// The break that ends a game. Wine sends no Ctrl+Break event; its Ctrl+C event goes through the
// same handler, also while the input mode is off.
bool send_break() { return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) || GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); }

// Ctrl+Break while the game waits for a key: the game ends at once, with the modes back and the
// status of Windows' own handling.
void break_while_waiting()
{
    const PROCESS_INFORMATION game_process = start_game(output, output);
    const bool waited = wait_for_read(game_process.hProcess);
    check(waited && send_break(), "break: sent while the game waits for a key");
    const DWORD status = exit_status(game_process.hProcess);
    check(status == STATUS_CONTROL_C_EXIT, "break: the game ends, exit status " + hex(status));
    check(modes_as_found(), "break: as found afterwards, " + modes_text());
}

// A break right behind a key, so that it may come while the game changes its input mode, again
// and again: every game ends, and leaves the modes as found.
void breaks_behind_keys(int games)
{
    int not_ended = 0;
    int wrong_status = 0;
    int not_as_found = 0;
    std::string wrong;
    for (int game_number = 0; game_number < games; ++game_number) {
        set_modes_found(VIRTUAL_TERMINAL);
        const PROCESS_INFORMATION game_process = start_game(output, output);
        if (wait_for_read(game_process.hProcess)) {
            press('A');
        }
        send_break();
        const bool in_time = WaitForSingleObject(game_process.hProcess, TIMEOUT_MS) == WAIT_OBJECT_0;
        const DWORD status = exit_status(game_process.hProcess);
        not_ended += in_time ? 0 : 1;
        wrong_status += status == STATUS_CONTROL_C_EXIT ? 0 : 1;
        if (!modes_as_found()) {
            ++not_as_found;
            wrong = "; last wrong " + modes_text();
        }
    }
    check(not_ended == 0 && wrong_status == 0 && not_as_found == 0,
          "break behind a key, " + std::to_string(games) + " games: not ended in time " + std::to_string(not_ended) +
              ", other exit status " + std::to_string(wrong_status) + ", modes not as found " +
              std::to_string(not_as_found) + wrong);
}

// Standard error a pipe, read once the game has ended.
struct Errors {
    HANDLE read = INVALID_HANDLE_VALUE;
    HANDLE write = INVALID_HANDLE_VALUE;  // the game's; closed here once it has it
};

Errors errors_pipe()
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    Errors errors;
    CreatePipe(&errors.read, &errors.write, &inherited, 0);
    SetHandleInformation(errors.read, HANDLE_FLAG_INHERIT, 0);
    return errors;
}

// The first line of standard error, once the game has ended: all of it, when it is one line.
std::string error_line(Errors& errors)
{
    std::string text;
    char bytes[4096];
    DWORD got = 0;
    while (ReadFile(errors.read, bytes, sizeof bytes, &got, nullptr) && got > 0) {
        text.append(bytes, got);
    }
    CloseHandle(errors.read);
    return text.substr(0, text.find('\n')) + (text.find('\n') + 1 == text.size() ? "" : " [not one line]");
}

// Ends with 1 and the message, the modes as found.
void check_failure(const std::string& name, HANDLE process, Errors& errors, const char* message)
{
    const DWORD status = exit_status(process);
    const std::string line = error_line(errors);
    check(status == 1 && line == message, name + ": exit status " + hex(status) + ", standard error \"" + line + "\"");
    check(modes_as_found(), name + ": as found afterwards, " + modes_text());
}

// Standard output a pipe whose reader goes once the first screen has come: the next screen cannot
// be written, and the game says why.
struct PipeEnd {
    const char* how;
    bool disconnect;  // the server disconnects the game, else it closes its end
};

void pipe_reader_gone(const PipeEnd& end)
{
    const std::string name = std::string("pipe reader gone (") + end.how + ")";
    const std::string pipe_name = "\\\\.\\pipe\\sminatore-console-modes-" + std::to_string(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeA(pipe_name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                           4096, 0, nullptr);
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const HANDLE client = CreateFileA(pipe_name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr);
    Errors errors = errors_pipe();
    const PROCESS_INFORMATION game_process = start_game(client, errors.write);
    CloseHandle(client);
    CloseHandle(errors.write);
    char screen[4096];
    DWORD got = 0;
    const bool first_screen = ReadFile(server, screen, sizeof screen, &got, nullptr) && got > 0;
    const bool waited = first_screen && wait_for_read(game_process.hProcess);
    check(waited, name + ": the first screen, then a wait for a key");
    if (end.disconnect) {
        DisconnectNamedPipe(server);
    }
    CloseHandle(server);
    press('x');
    check_failure(name, game_process.hProcess, errors,
                  "sminatore: impossibile scrivere sullo standard output (pipe chiusa).");
}

// Standard output a handle the console refuses something of, before the game has drawn anything.
struct BadOutput {
    const char* name;
    HANDLE (*open)();
    const char* message;
};

HANDLE no_output() { return nullptr; }

HANDLE open_inherited(const wchar_t* name, DWORD access)
{
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    return CreateFileW(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
}

// Wine refuses to set its mode, which is what the row is for. Windows asks only for read access
// there, and would refuse the clearing instead (errore 5).
HANDLE screen_read_only() { return open_inherited(L"CONOUT$", GENERIC_READ); }

// Its mode can be read and set (it is the input's), but it has no screen to clear.
HANDLE console_input() { return open_inherited(L"CONIN$", GENERIC_READ | GENERIC_WRITE); }

const BadOutput BAD_OUTPUTS[] = {
    {"no standard output", no_output, "sminatore: impossibile scrivere sullo standard output (descrittore chiuso)."},
    {"standard output the screen, read only",
     screen_read_only,
     "sminatore: impossibile preparare il terminale (descrittore chiuso)."},
    {"standard output the console's input",
     console_input,
     "sminatore: impossibile scrivere sullo standard output (descrittore chiuso)."},
};

void bad_output(const BadOutput& bad)
{
    const HANDLE handle = bad.open();
    Errors errors = errors_pipe();
    const PROCESS_INFORMATION game_process = start_game(handle, errors.write);
    if (handle != nullptr) {
        CloseHandle(handle);
    }
    CloseHandle(errors.write);
    check_failure(bad.name, game_process.hProcess, errors, bad.message);
}

BOOL WINAPI outlive_breaks(DWORD) { return TRUE; }

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: console_modes.exe <the game>\n");
        return 2;
    }
    game = argv[1];
    input = open_inherited(L"CONIN$", GENERIC_READ | GENERIC_WRITE);
    output = open_inherited(L"CONOUT$", GENERIC_READ | GENERIC_WRITE);
    // The break that ends a game reaches every program in the console. A handler, rather than
    // ignoring Ctrl+C, which the game would inherit.
    SetConsoleCtrlHandler(outlive_breaks, TRUE);
    const DWORD input_mode_before = input_mode();
    const DWORD output_mode_before = output_mode();

    // Whole games from modes other programs leave: with QuickEdit on (and Insert), then Insert off;
    // output that acts on no line feed or tab, with lines that wrap and without; a mode with no
    // extended flags, where QuickEdit cannot be read and is left alone.
    const Modes games[] = {
        VIRTUAL_TERMINAL,
        {"output not processed", 0x3f7 & ~static_cast<DWORD>(ENABLE_INSERT_MODE), ENABLE_WRAP_AT_EOL_OUTPUT},
        {"output mode 0, no extended flags", 0x3f7 & ~EXTENDED_FLAGS, 0},
    };
    for (const Modes& modes : games) {
        whole_game(modes);
    }
    for (const PipeEnd& end : {PipeEnd{"disconnected", true}, PipeEnd{"closed", false}}) {
        set_modes_found(VIRTUAL_TERMINAL);
        pipe_reader_gone(end);
    }
    for (const BadOutput& bad : BAD_OUTPUTS) {
        set_modes_found(VIRTUAL_TERMINAL);
        bad_output(bad);
    }
    // Last: Wine's console loses the first key typed after a program ended in the middle of a
    // read.
    set_modes_found(VIRTUAL_TERMINAL);
    break_while_waiting();
    breaks_behind_keys(20);

    SetConsoleMode(input, input_mode_before);
    SetConsoleMode(output, output_mode_before);
    std::printf("%d checks failed\n", failed);
    return failed == 0 ? 0 : 1;
}
