// The game run by this program in the same console, in a console whose modes another program
// left as programs with virtual terminal output leave them: virtual terminal input on, and line
// feeds that do not return to the first column. The modes are set before each game and read
// while it runs and after it ends, and keys go into the console's input while the game waits for
// one, as console_keys does.
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
DWORD input_mode_found = 0;
DWORD output_mode_found = 0;
int failed = 0;

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

bool modes_as_found() { return input_mode() == input_mode_found && output_mode() == output_mode_found; }

// The modes as a program with virtual terminal output leaves them.
bool set_modes_as_found()
{
    SetConsoleMode(input, input_mode_found);
    SetConsoleMode(output, output_mode_found);
    return modes_as_found();
}

std::string modes() { return "input mode " + hex(input_mode()) + ", output mode " + hex(output_mode()); }

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

// Until the game waits for a key: its input mode off and every key given before read. False when
// the game ended instead, or did neither in time.
bool wait_for_read(HANDLE process)
{
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < TIMEOUT_MS) {
        DWORD events = 1;
        if (input_mode() == 0 && GetNumberOfConsoleInputEvents(input, &events) && events == 0) {
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

void whole_game()
{
    const PROCESS_INFORMATION game_process = start_game(output, output);
    const DWORD output_mode_playing = output_mode_found & ~static_cast<DWORD>(DISABLE_NEWLINE_AUTO_RETURN);
    const DWORD input_mode_between_reads = input_mode_found & ~static_cast<DWORD>(ENABLE_VIRTUAL_TERMINAL_INPUT);
    int keys = 0;
    int output_wrong = 0;
    int between_reads_seen = 0;
    int between_reads_wrong = 0;
    DWORD wrong_mode = 0;
    bool found_seen = false;  // the modes as found, since the last key: right only at the end
    while (wait_for_read(game_process.hProcess)) {
        if (found_seen) {
            ++between_reads_wrong;
            wrong_mode = input_mode_found;
        }
        output_wrong += output_mode() == output_mode_playing ? 0 : 1;
        press(key_number(keys));
        ++keys;
        // The input mode, as often as it can be read until the game waits again or ends: what
        // is not 0 is the mode between reads, caught while a screen is drawn.
        DWORD events = 1;
        while (!ended(game_process.hProcess) &&
               !(GetNumberOfConsoleInputEvents(input, &events) && events == 0 && input_mode() == 0)) {
            const DWORD mode = input_mode();
            if (mode == input_mode_found) {
                found_seen = true;
            } else if (mode != 0) {
                ++between_reads_seen;
                if (mode != input_mode_between_reads) {
                    ++between_reads_wrong;
                    wrong_mode = mode;
                }
            }
        }
    }
    const DWORD status = exit_status(game_process.hProcess);
    check(status == 0, "whole game: " + std::to_string(keys) + " keys, exit status " + hex(status));
    check(output_wrong == 0, "whole game: output mode " + hex(output_mode_playing) +
                                 " (line feeds return) at every wait for a key, wrong at " +
                                 std::to_string(output_wrong));
    const std::string wrong = between_reads_wrong == 0 ? ""
                                                       : "; " + hex(wrong_mode) + " seen instead " +
                                                             std::to_string(between_reads_wrong) + " times";
    check(between_reads_wrong == 0, "whole game: input mode " + hex(input_mode_between_reads) +
                                        " (no virtual terminal input) between reads, seen " +
                                        std::to_string(between_reads_seen) + " times" + wrong);
    check(modes_as_found(), "whole game: as found afterwards, " + modes());
}

// Ctrl+Break while the game waits for a key: the default handling ends it, with the modes back.
// Wine sends no Ctrl+Break event; its Ctrl+C event goes through the same handler, also while the
// input mode is off.
void break_while_waiting()
{
    const PROCESS_INFORMATION game_process = start_game(output, output);
    const bool waited = wait_for_read(game_process.hProcess);
    const bool sent =
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0) || GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    check(waited && sent, "break: sent while the game waits for a key");
    const DWORD status = exit_status(game_process.hProcess);
    // Windows' default handling ends it with STATUS_CONTROL_C_EXIT, Wine's with 0.
    check(status == 0 || status == STATUS_CONTROL_C_EXIT, "break: the game ends, exit status " + hex(status));
    check(modes_as_found(), "break: as found afterwards, " + modes());
}

// Standard output a pipe whose reader goes once the first screen has come: the next screen cannot
// be written, and the game says why.
struct PipeEnd {
    const char* how;
    bool disconnect;  // the server disconnects the game, else it closes its end
};

void pipe_reader_gone(const PipeEnd& end)
{
    const std::string name = "\\\\.\\pipe\\sminatore-console-modes-" + std::to_string(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                           4096, 0, nullptr);
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    const HANDLE client = CreateFileA(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, 0, nullptr);
    HANDLE errors_read = INVALID_HANDLE_VALUE;
    HANDLE errors_write = INVALID_HANDLE_VALUE;
    CreatePipe(&errors_read, &errors_write, &inherited, 0);
    SetHandleInformation(errors_read, HANDLE_FLAG_INHERIT, 0);

    const PROCESS_INFORMATION game_process = start_game(client, errors_write);
    CloseHandle(client);
    CloseHandle(errors_write);
    char screen[4096];
    DWORD got = 0;
    const bool first_screen = ReadFile(server, screen, sizeof screen, &got, nullptr) && got > 0;
    const bool waited = first_screen && wait_for_read(game_process.hProcess);
    check(waited, std::string("pipe reader gone (") + end.how + "): the first screen, then a wait for a key");
    if (end.disconnect) {
        DisconnectNamedPipe(server);
    }
    CloseHandle(server);
    press('x');
    const DWORD status = exit_status(game_process.hProcess);
    std::string errors;
    while (ReadFile(errors_read, screen, sizeof screen, &got, nullptr) && got > 0) {
        errors.append(screen, got);
    }
    CloseHandle(errors_read);
    const std::string expected = "sminatore: impossibile scrivere sullo standard output (pipe chiusa).\n";
    check(status == 1 && errors == expected, std::string("pipe reader gone (") + end.how + "): exit status " +
                                                 hex(status) + ", standard error \"" +
                                                 errors.substr(0, errors.find('\n')) + "\"");
    check(modes_as_found(), std::string("pipe reader gone (") + end.how + "): as found afterwards, " + modes());
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
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                        OPEN_EXISTING, 0, nullptr);
    output = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                         OPEN_EXISTING, 0, nullptr);
    // The break that ends a game reaches every program in the console. A handler, rather than
    // ignoring Ctrl+C, which the game would inherit.
    SetConsoleCtrlHandler(outlive_breaks, TRUE);

    GetConsoleMode(input, &input_mode_found);
    GetConsoleMode(output, &output_mode_found);
    input_mode_found |= ENABLE_VIRTUAL_TERMINAL_INPUT;
    output_mode_found |= ENABLE_VIRTUAL_TERMINAL_PROCESSING | DISABLE_NEWLINE_AUTO_RETURN;
    const DWORD input_mode_before = input_mode();
    const DWORD output_mode_before = output_mode();
    if (!set_modes_as_found()) {
        std::printf("FAIL the console does not keep the modes set: %s\n", modes().c_str());
        return 1;
    }
    std::printf("modes set: %s\n", modes().c_str());

    whole_game();
    for (const PipeEnd& end : {PipeEnd{"disconnected", true}, PipeEnd{"closed", false}}) {
        set_modes_as_found();
        pipe_reader_gone(end);
    }
    // Last: Wine's console loses the first key typed after a program ended in the middle of a
    // read.
    set_modes_as_found();
    break_while_waiting();

    SetConsoleMode(input, input_mode_before);
    SetConsoleMode(output, output_mode_before);
    std::printf("%d checks failed\n", failed);
    return failed == 0 ? 0 : 1;
}
