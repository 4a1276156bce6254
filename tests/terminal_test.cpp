// The terminal under the game, through the real program on a pseudo-terminal: keys as each
// terminal sends them, typed with no pause; the ways out and Ctrl+Z, each followed by a look at
// the terminal's mode; a hang-up; and the screens into a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <tuple>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "case_name.h"
#include "game_fixture.h"
#include "screen_text.h"

namespace {

// A file of this test process's own: CTest runs tests side by side.
std::string temporary_file(const std::string& name)
{
    return ::testing::TempDir() + "sminatore_" + std::to_string(getpid()) + "_" + name;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What came after each "Colonna: ": N.A. or the echoed column.
std::vector<std::string> column_answers(const std::string& output)
{
    std::vector<std::string> answers;
    const std::string label = "Colonna: ";
    for (size_t at = output.find(label); at != std::string::npos; at = output.find(label, at)) {
        at += label.size();
        answers.push_back(output.substr(at, output.find_first_of("\r\x1b", at) - at));
    }
    return answers;
}

class Terminal : public GameOnTerminal {};

struct TerminalKey {
    const char* what;
    std::string bytes;
    std::vector<std::string> answers;
};

const TerminalKey TERMINAL_KEYS[] = {
    {"Up, normal cursor mode (xterm, VTE, PuTTY, tmux, screen)", "\x1b[A", {"N.A.", "H"}},
    {"Up, application cursor mode", "\x1bOA", {"N.A.", "H"}},
    {"Home, xterm and VTE", "\x1b[H", {"N.A.", "G"}},
    {"Home, application cursor mode", "\x1bOH", {"N.A.", "G"}},
    {"Home, Linux console, screen, tmux, PuTTY", "\x1b[1~", {"N.A.", "G"}},
    {"Home, rxvt", "\x1b[7~", {"N.A.", "G"}},
    {"PgUp", "\x1b[5~", {"N.A.", "I"}},
    {"F7", "\x1b[18~", {"N.A.", "A"}},
    {"F10", "\x1b[21~", {"N.A.", "D"}},
    {"Ctrl+F4, xterm", "\x1b[1;5S", {"N.A.", "a"}},
    {"Ctrl+F4, rxvt", "\x1b[14^", {"N.A.", "a"}},
    {"Alt+F1, xterm", "\x1b[1;3P", {"N.A.", "h"}},
    {"Alt+F1, rxvt", "\x1b\x1b[11~", {"N.A.", "h"}},
    {"F1, Linux console: no letter", "\x1b[[A", {"N.A.", "N.A."}},
    {"Delete: no letter", "\x1b[3~", {"N.A.", "N.A."}},
    {"Alt+c", "\x1b" "c", {"c"}},
    {"e grave from an Italian keyboard", "\xc3\xa8", {"N.A."}},
    {"Ctrl+C during a read", "\x03", {"N.A."}},
    {"an unknown sequence", "\x1b[99X", {}},
};

TEST_F(Terminal, KeysAsEachTerminalSendsThem)
{
    // Each accepted column is followed by row 0, where none of these columns has a bomb.
    std::string keys;
    std::vector<std::string> expected;
    for (const auto& key : TERMINAL_KEYS) {
        keys += key.bytes;
        if (!key.answers.empty() && key.answers.back() != "N.A.") {
            keys += "0";
        }
        expected.insert(expected.end(), key.answers.begin(), key.answers.end());
    }
    expected.push_back("e");
    ASSERT_TRUE(first_screen_shown());
    type_keys(run, keys + "e0zq");
    EXPECT_EQ(wait_for_exit(run), 0);
    EXPECT_EQ(column_answers(run.output), expected);
    EXPECT_TRUE(mode_restored());
}

TEST_F(Terminal, SplitKeyAResizeAndALoneEscape)
{
    ASSERT_TRUE(first_screen_shown());
    // Ctrl+F4 in two pieces, with a change of window size between them: the screen is drawn
    // again, and the key is still Ctrl+F4 (column a); then row 3.
    type_keys(run, "\x1b[1;");
    const winsize bigger = {30, 100, 0, 0};
    ioctl(run.master, TIOCSWINSZ, &bigger);
    type_keys(run, "5S3");
    std::set<std::string> hidden = all_cells();
    hidden.erase("A3");
    const std::string second_turn = CLEAR + board(hidden) + prompt("Colonna");
    ASSERT_TRUE(wait_for_output(run, on_terminal(second_turn)));
    // Escape with nothing after it is a key of its own.
    type_keys(run, "\x1b");
    ASSERT_TRUE(wait_for_output(run, on_terminal("N.A." + prompt("Colonna"))));
    lose();
    // The screen is drawn again as it is when the game takes the resize in: before or after the
    // key that was already on its way, or between it and the row typed right behind it.
    const std::string first_turn = board(all_cells()) + prompt("Colonna");
    const std::string before = FIRST_FRAME + CLEAR + first_turn + "N.A." + prompt("Colonna") + "a" +
                               prompt("Riga") + "3" + second_turn;
    const std::string after = FIRST_FRAME + "N.A." + prompt("Colonna") + "a" + prompt("Riga") + "3" +
                              second_turn + second_turn;
    const std::string column_taken = "N.A." + prompt("Colonna") + "a" + prompt("Riga");
    const std::string between = FIRST_FRAME + column_taken + CLEAR + first_turn + column_taken + "3" + second_turn;
    const std::string rest = "N.A." + prompt("Colonna") + LOSING_END + GAME_SCREEN_OFF;
    EXPECT_TRUE(run.output == on_terminal(before + rest) || run.output == on_terminal(after + rest) ||
                run.output == on_terminal(between + rest))
        << run.output;
}

// Thousands of refusals outgrow the copy of the screen kept for drawing it again: what a resize
// draws then is the newest lines, from the start of a line, as the window would show them.
TEST_F(Terminal, RedrawAfterThousandsOfRefusalsShowsTheNewestLines)
{
    ASSERT_TRUE(first_screen_shown());
    const int refusals = 1500;
    std::string screen = board(all_cells()) + prompt("Colonna");
    for (int i = 0; i < refusals; ++i) {
        screen += "N.A." + prompt("Colonna");
    }
    type_keys(run, std::string(refusals, 'x'));
    ASSERT_TRUE(wait_for_output(run, on_terminal(screen), 20000));
    run.output.clear();
    const winsize bigger = {30, 100, 0, 0};
    ioctl(run.master, TIOCSWINSZ, &bigger);
    // A key once the drawing has begun marks where it ends: the screen itself ends the same way
    // at every line.
    ASSERT_TRUE(wait_for_output_holding(run, CLEAR));
    type_keys(run, "e");
    const std::string after = on_terminal("e" + prompt("Riga"));
    ASSERT_TRUE(wait_for_output(run, on_terminal("N.A." + prompt("Colonna")) + after));
    ASSERT_EQ(run.output.rfind(CLEAR, 0), 0u) << run.output.substr(0, 40);
    const std::string drawn = run.output.substr(CLEAR.size(), run.output.size() - CLEAR.size() - after.size());
    const std::string newest = on_terminal(screen).substr(on_terminal(screen).size() - drawn.size());
    EXPECT_EQ(drawn, newest);
    EXPECT_EQ(drawn.rfind("\r\n", 0), 0u);
    // Only the oldest lines are gone.
    EXPECT_LT(drawn.size(), on_terminal(screen).size());
    EXPECT_GT(drawn.size(), 16000u);
    type_keys(run, "0zq");
    EXPECT_EQ(wait_for_exit(run), 0);
    EXPECT_TRUE(mode_restored());
}

struct WayOut {
    std::string what;
    int signal_number;
    std::string typed;  // the key the player types on the terminal; none: the signal is sent
};

// Ctrl+\, also as terminals send it in their keyboard protocols (CSI u, xterm's
// modifyOtherKeys), and every signal whose default action ends a Linux process and that a
// program can catch, faults sent from outside among them.
std::vector<WayOut> ways_out()
{
    std::vector<WayOut> ways = {{"CtrlBackslash", SIGQUIT, "\x1c"},
                                {"CtrlBackslashAsCsiU", SIGQUIT, "\x1b[92;5u"},
                                {"CtrlBackslashAsModifyOtherKeys", SIGQUIT, "\x1b[27;5;92~"}};
    for (const int number : {SIGHUP, SIGINT, SIGQUIT, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGUSR1, SIGSEGV,
                             SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF,
                             SIGIO, SIGPWR, SIGSYS}) {
        ways.push_back({std::string("SIG") + sigabbrev_np(number), number, ""});
    }
    for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) {
        ways.push_back({"SIGRTMIN_" + std::to_string(number - SIGRTMIN), number, ""});
    }
    return ways;
}

class WaysOut : public Terminal, public ::testing::WithParamInterface<WayOut> {};

TEST_P(WaysOut, EndAtOnceByTheSameSignalWithTheTerminalGivenBack)
{
    ASSERT_TRUE(first_screen_shown());
    if (!GetParam().typed.empty()) {
        type_keys(run, GetParam().typed);
    } else {
        kill(run.game, GetParam().signal_number);
    }
    EXPECT_EQ(wait_for_exit(run), 128 + GetParam().signal_number);
    EXPECT_EQ(run.output, on_terminal(FIRST_FRAME) + GAME_SCREEN_OFF);
    EXPECT_TRUE(mode_restored());
    EXPECT_EQ(unread_input(run), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, WaysOut, ::testing::ValuesIn(ways_out()), case_name<WayOut>);

// Endings and stops right after the start, as soon as the game has the terminal's mode, each
// alone or with a key typed ahead of it in the same write: the key modes are restored and the
// mode given back, the key typed ahead is answered or left to the shell, never lost, and a key
// typed before a stop is still there after it.
struct Ending {
    const char* what;
    std::string keys;         // typed
    int signal_number;        // or sent
    int status;               // -1: stopped, then continued and played out with
    std::string after_stop;   // these keys
    std::vector<std::string> columns;  // the columns taken, besides the key typed ahead
};

const Ending ENDINGS[] = {
    {"PlayedOut", "e0zq", 0, 0, "", {"e"}},
    {"CtrlBackslash", "\x1c", 0, 128 + SIGQUIT, "", {}},
    {"Terminated", "", SIGTERM, 128 + SIGTERM, "", {}},
    {"Interrupted", "", SIGINT, 128 + SIGINT, "", {}},
    {"CtrlZ", "\x1a", 0, -1, "e0zq", {"e"}},
    {"CtrlZAsASequence", "\x1b[122;5u", 0, -1, "e0zq", {"e"}},
};

class EndingsRightAfterStart : public Terminal, public ::testing::WithParamInterface<std::tuple<Ending, Switch>> {};

TEST_P(EndingsRightAfterStart, GiveTheTerminalBackWithNoKeyLost)
{
    const Ending& ending = std::get<0>(GetParam());
    const std::string ahead = std::get<1>(GetParam()).on ? "x" : "";
    run = start_game(WORKED_SEED);
    ASSERT_TRUE(wait_for_game_mode(run));
    type_keys(run, ahead + ending.keys);
    if (ending.signal_number != 0) {
        kill(run.game, ending.signal_number);
    }
    if (ending.status < 0) {
        ASSERT_EQ(wait_for_stop(run), SIGTSTP);
        EXPECT_TRUE(mode_restored());
        EXPECT_TRUE(wait_for_output(run, GAME_SCREEN_OFF));
        kill(run.game, SIGCONT);
        ASSERT_TRUE(wait_for_output_holding(run, GAME_SCREEN_OFF + GAME_SCREEN_ON));
        type_keys(run, ending.after_stop);
        EXPECT_EQ(wait_for_exit(run), 0);
    } else {
        EXPECT_EQ(wait_for_exit(run), ending.status);
    }
    EXPECT_TRUE(mode_restored());
    EXPECT_EQ(run.output.rfind(on_terminal(FIRST_FRAME), 0), 0u) << run.output;
    EXPECT_EQ(run.output.substr(run.output.size() - std::min(run.output.size(), GAME_SCREEN_OFF.size())), GAME_SCREEN_OFF);
    // After a stop, the screen drawn again tells what was answered before it.
    std::vector<std::string> columns = column_answers(run.output.substr(run.output.rfind(GAME_SCREEN_ON)));
    columns.erase(std::remove(columns.begin(), columns.end(), ""), columns.end());  // questions not answered yet
    const std::string unread = unread_input(run);
    // An ending that is no key may come before the key typed ahead is read: it is then the
    // shell's.
    std::vector<std::string> expected = ending.columns;
    if (!ahead.empty() && unread != ahead) {
        expected.insert(expected.begin(), "N.A.");
    }
    EXPECT_TRUE(unread.empty() || (unread == ahead && ending.status > 0)) << unread;
    EXPECT_EQ(columns, expected);
}

INSTANTIATE_TEST_SUITE_P(Terminal, EndingsRightAfterStart,
                         ::testing::Combine(::testing::ValuesIn(ENDINGS),
                                            ::testing::Values(Switch{"Alone", false}, Switch{"WithAKeyTypedAhead", true})),
                         (case_name<Ending, Switch>));

TEST_F(Terminal, CtrlZStopsWithTheTerminalGivenBackAndResumesWhereItWas)
{
    ASSERT_TRUE(first_screen_shown());
    type_keys(run, "x");
    const std::string screen = board(all_cells()) + prompt("Colonna") + "N.A." + prompt("Colonna");
    ASSERT_TRUE(wait_for_output(run, on_terminal("N.A." + prompt("Colonna"))));
    type_keys(run, "\x1a");
    ASSERT_EQ(wait_for_stop(run), SIGTSTP);
    EXPECT_EQ(run.output, on_terminal(FIRST_FRAME + "N.A." + prompt("Colonna")) + GAME_SCREEN_OFF);
    EXPECT_TRUE(mode_restored());
    // Resized while stopped, and continued: the screen is drawn once.
    const winsize bigger = {30, 100, 0, 0};
    ioctl(run.master, TIOCSWINSZ, &bigger);
    kill(run.game, SIGWINCH);
    kill(run.game, SIGCONT);
    ASSERT_TRUE(wait_for_output(run, on_terminal(GAME_SCREEN_ON + CLEAR + screen)));
    // Not echoed: the game has its mode back.
    lose();
    EXPECT_EQ(run.output, on_terminal(FIRST_FRAME + "N.A." + prompt("Colonna") + GAME_SCREEN_OFF +
                                      GAME_SCREEN_ON + CLEAR + screen + LOSING_END + GAME_SCREEN_OFF));
}

// Ctrl+Z from a terminal that sends it as a sequence (CSI u) stops the game as the terminal's
// own would.
TEST_F(Terminal, CtrlZAsASequenceStops)
{
    ASSERT_TRUE(first_screen_shown());
    type_keys(run, "\x1b[122;5u");
    ASSERT_EQ(wait_for_stop(run), SIGTSTP);
    EXPECT_TRUE(mode_restored());
    kill(run.game, SIGCONT);
    ASSERT_TRUE(wait_for_output(run, on_terminal(GAME_SCREEN_ON + CLEAR + board(all_cells()) + prompt("Colonna"))));
    lose();
}

TEST_F(Terminal, CtrlZWithNoShellToResumeItKeepsPlaying)
{
    GameOptions options;
    options.alone = true;
    ASSERT_TRUE(first_screen_shown(options));
    type_keys(run, "\x1a");
    const std::string again = GAME_SCREEN_OFF + GAME_SCREEN_ON + CLEAR + board(all_cells()) + prompt("Colonna");
    ASSERT_TRUE(wait_for_output(run, on_terminal(FIRST_FRAME + again)));
    lose();
    EXPECT_EQ(run.output, on_terminal(FIRST_FRAME + again + LOSING_END + GAME_SCREEN_OFF));
}

// A closed window, a dropped connection: the terminal is gone, which the game may learn from a
// read before the hang-up signal arrives. It ends as that signal does, writing nothing more to
// the dead terminal; with the signal ignored, as under nohup, it says so and ends with 1.
struct Hanging {
    const char* what;
    bool ignore_hangup;
    bool alone;
    int status;
    std::string message;
};

const Hanging HANGINGS[] = {
    {"UnderAShell", false, false, 128 + SIGHUP, ""},
    {"SessionLeader", false, true, 128 + SIGHUP, ""},
    {"IgnoredUnderAShell", true, false, 1, "sminatore: serve un terminale da cui leggere i tasti.\n"},
    {"IgnoredSessionLeader", true, true, 1, "sminatore: serve un terminale da cui leggere i tasti.\n"},
};

class HangUp : public Terminal, public ::testing::WithParamInterface<Hanging> {};

TEST_P(HangUp, EndsAsItsSignalWithNothingMoreWritten)
{
    const std::string errors = temporary_file("hangup.err");
    const std::string writes = temporary_file("hangup.writes");
    GameOptions options;
    options.ignore_hangup = GetParam().ignore_hangup;
    options.alone = GetParam().alone;
    options.stderr_file = errors;
    options.trace_to = writes;
    ASSERT_TRUE(first_screen_shown(options));
    hang_up(run);
    EXPECT_EQ(wait_for_exit(run), GetParam().status);
    EXPECT_EQ(read_file(errors), GetParam().message);
    // Each write to the terminal after it went away would fail with EIO.
    const std::string traced = read_file(writes);
    EXPECT_NE(traced.find("write(1, "), std::string::npos);
    EXPECT_EQ(traced.find("EIO"), std::string::npos) << traced;
    unlink(errors.c_str());
    unlink(writes.c_str());
}

INSTANTIATE_TEST_SUITE_P(Terminal, HangUp, ::testing::ValuesIn(HANGINGS), case_name<Hanging>);

// Where the game cannot play or cannot show its screens, it must not go on blind: it ends, with
// the terminal as found, and says on standard error (the terminal here) what failed.
struct Failure {
    const char* what;
    void (*arrange)(GameOptions&);
    int status;
    std::string message;
};

const Failure FAILURES[] = {
    {"StandardOutputOnAFullDisk", [](GameOptions& o) { o.stdout_file = "/dev/full"; }, 1,
     "sminatore: impossibile scrivere sullo standard output (disco pieno).\n"},
    {"StandardOutputAPipeNobodyReads", [](GameOptions& o) { o.stdout_to_closed_pipe = true; }, 128 + SIGPIPE, ""},
    {"StandardOutputAPipeNobodyReadsWithItsSignalIgnored",
     [](GameOptions& o) {
         o.stdout_to_closed_pipe = true;
         o.ignore_broken_pipe = true;
     },
     1, "sminatore: impossibile scrivere sullo standard output (pipe chiusa).\n"},
    {"StandardOutputClosed", [](GameOptions& o) { o.closed[1] = true; }, 1,
     "sminatore: impossibile scrivere sullo standard output (descrittore chiuso).\n"},
    {"AllThreeStandardDescriptorsClosed",
     [](GameOptions& o) {
         for (bool& closed : o.closed) {
             closed = true;
         }
     },
     1, ""},
};

class Failures : public Terminal, public ::testing::WithParamInterface<Failure> {};

TEST_P(Failures, EndTheGameWithTheTerminalAsFoundAndSaySo)
{
    GameOptions options;
    options.real_clock = true;
    GetParam().arrange(options);
    run = start_game(WORKED_SEED, options);
    EXPECT_EQ(wait_for_exit(run), GetParam().status);
    EXPECT_EQ(run.output, on_terminal(GetParam().message));
    EXPECT_TRUE(mode_restored());
}

INSTANTIATE_TEST_SUITE_P(Terminal, Failures, ::testing::ValuesIn(FAILURES), case_name<Failure>);

// Escape, [ and A, typed far apart, are three keys, however often the window changes size
// meanwhile. A slow machine only makes the pauses longer.
TEST_F(Terminal, KeysFarApartStayApartWhileTheWindowIsResized)
{
    ASSERT_TRUE(first_screen_shown());
    for (const char* key : {"\x1b", "[", "A", ""}) {
        type_keys(run, key);
        for (int resize = 0; resize < 6; ++resize) {
            kill(run.game, SIGWINCH);
            read_output(run, 50);
        }
    }
    EXPECT_TRUE(wait_for_output(run, on_terminal("N.A." + prompt("Colonna") + "N.A." + prompt("Colonna") + "A" +
                                                 prompt("Riga"))))
        << run.output.substr(run.output.rfind(CLEAR));
    type_keys(run, "1e0zq");
    EXPECT_EQ(wait_for_exit(run), 0);
    EXPECT_TRUE(mode_restored());
}

// The game's screen is switched on and off in turn, starting with on and ending with off.
bool screen_switched_in_turn(const std::string& output)
{
    bool on = false;
    for (size_t at = output.find("\x1b[?1049"); at != std::string::npos; at = output.find("\x1b[?1049", at + 1)) {
        const bool switching_on = output.compare(at, 8, "\x1b[?1049h") == 0;
        if (switching_on == on) {
            return false;
        }
        on = switching_on;
    }
    return !on;
}

// Ctrl+Z as fast as it can be sent, with a job-control shell that resumes the game at once, or with
// no shell at all (the system then drops each stop): at every stop the player has the terminal's
// mode back, the stop handler never runs inside itself (which would grow the stack until it
// overflowed), and the game plays on to its end.
class StopStorm : public Terminal, public ::testing::WithParamInterface<Switch> {};

TEST_P(StopStorm, NeverNestsAndAlwaysGivesTheTerminalBack)
{
    GameOptions options;
    options.alone = GetParam().on;
    options.resume_at_once = !options.alone;
    ASSERT_TRUE(first_screen_shown(options));
    const int stack_before = stack_kb(run);
    // From a process of its own, so that stops come while the game is still handling the last.
    // Signals sent while one is pending merge into it, so how many stops a number of signals makes
    // depends on the machine: with a shell, the storm lasts until enough stops have been seen.
    const int signals = options.resume_at_once ? std::numeric_limits<int>::max() : 200000;
    const pid_t storm = fork();
    if (storm == 0) {
        for (int sent = 0; sent < signals && kill(run.game, SIGTSTP) == 0; ++sent) {
        }
        _exit(0);
    }
    Stops stops;
    int largest_stack = stack_before;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(storm, nullptr, WNOHANG) == 0) {
        read_output(run, 1);
        count_stops(run, stops);
        largest_stack = std::max(largest_stack, stack_kb(run));
        if (options.resume_at_once && (stops.count >= 1000 || std::chrono::steady_clock::now() > give_up)) {
            kill(storm, SIGKILL);
        }
    }
    ASSERT_TRUE(wait_for_game_mode(run));
    count_stops(run, stops);
    if (options.resume_at_once) {
        EXPECT_GE(stops.count, 1000);
    }
    EXPECT_EQ(stops.not_in_players_mode, 0) << "of " << stops.count << " stops";
    EXPECT_LE(largest_stack, stack_before);
    lose(20000);
    EXPECT_TRUE(screen_switched_in_turn(run.output));
    const std::string end = on_terminal(LOSING_END + GAME_SCREEN_OFF);
    EXPECT_EQ(run.output.substr(run.output.size() - std::min(end.size(), run.output.size())), end);
}

INSTANTIATE_TEST_SUITE_P(Terminal, StopStorm,
                         ::testing::Values(Switch{"ResumedAtOnce", false}, Switch{"NoShellToStopIt", true}),
                         case_name<Switch>);

// The stops that may come from outside, as Ctrl+Z's does: each gives the terminal back first,
// and stops the game by its own signal, so that the shell tells which it was.
struct StopSignal {
    const char* what;
    int number;
};

class StoppedFromOutside : public Terminal, public ::testing::WithParamInterface<StopSignal> {};

TEST_P(StoppedFromOutside, GivesTheTerminalBackThenStopsBySignal)
{
    ASSERT_TRUE(first_screen_shown());
    kill(run.game, GetParam().number);
    ASSERT_EQ(wait_for_stop(run), GetParam().number);
    EXPECT_EQ(run.output, on_terminal(FIRST_FRAME) + GAME_SCREEN_OFF);
    EXPECT_TRUE(mode_restored());
    kill(run.game, SIGCONT);
    ASSERT_TRUE(wait_for_output(run, on_terminal(GAME_SCREEN_ON + CLEAR + board(all_cells()) + prompt("Colonna"))));
    lose();
}

INSTANTIATE_TEST_SUITE_P(Terminal, StoppedFromOutside,
                         ::testing::Values(StopSignal{"SIGTSTP", SIGTSTP}, StopSignal{"SIGTTIN", SIGTTIN},
                                           StopSignal{"SIGTTOU", SIGTTOU}),
                         case_name<StopSignal>);

// Ctrl+Z while the game is answering a key: once the terminal is given back, nothing of the
// game's reaches the player's screen until fg.
TEST_F(Terminal, NoGameTextAfterAStopUntilTheGameIsBack)
{
    ASSERT_TRUE(first_screen_shown());
    for (int stop = 0; stop < 10; ++stop) {
        type_keys(run, "x");
        kill(run.game, SIGTSTP);
        ASSERT_EQ(wait_for_stop(run), SIGTSTP);
        ASSERT_TRUE(wait_for_output(run, GAME_SCREEN_OFF)) << stop;
        kill(run.game, SIGCONT);
        ASSERT_TRUE(wait_for_output_holding(run, GAME_SCREEN_OFF + GAME_SCREEN_ON)) << stop;
        ASSERT_TRUE(wait_for_output(run, on_terminal(prompt("Colonna"))));
        run.output.clear();
    }
    lose();
}

// The same with the output full, the game waiting to write, and a terminal that another program
// left non-blocking: the way back arrives whole, and only then the stop or the end.
class FullOutput : public Terminal, public ::testing::WithParamInterface<Switch> {};

TEST_P(FullOutput, TheWayBackArrivesWholeAndNothingAfterIt)
{
    const bool stopped = GetParam().on;
    GameOptions options;
    options.nonblocking_terminal = !stopped;
    ASSERT_TRUE(first_screen_shown(options));
    // Far more refusals than the terminal holds unread.
    type_keys(run, std::string(8000, 'x'));
    ASSERT_TRUE(wait_for_full_output(run));
    if (stopped) {
        kill(run.game, SIGTSTP);
        ASSERT_EQ(wait_for_stop(run, 20000), SIGTSTP);
        EXPECT_TRUE(wait_for_output(run, GAME_SCREEN_OFF));
        EXPECT_TRUE(mode_restored());
        kill(run.game, SIGCONT);
        ASSERT_TRUE(wait_for_output_holding(run, GAME_SCREEN_OFF + GAME_SCREEN_ON));
        lose(60000);
    } else {
        kill(run.game, SIGTERM);
        EXPECT_EQ(wait_for_exit(run, 20000), 128 + SIGTERM);
        EXPECT_TRUE(wait_for_output(run, GAME_SCREEN_OFF));
    }
}

INSTANTIATE_TEST_SUITE_P(Terminal, FullOutput,
                         ::testing::Values(Switch{"Stopped", true}, Switch{"TerminatedOnANonBlockingTerminal", false}),
                         case_name<Switch>);

TEST_F(Terminal, ScreensIntoAFileWhileKeysComeFromTheTerminal)
{
    const std::string screens = temporary_file("screens.txt");
    GameOptions options;
    options.stdout_file = screens;
    run = start_game(WORKED_SEED, options);
    ASSERT_TRUE(wait_for_game_mode(run));
    lose();
    std::string screens_text = board(all_cells()) + prompt("Colonna") + LOSING_END;
    for (size_t at; (at = screens_text.find(CLEAR)) != std::string::npos;) {
        screens_text.replace(at, CLEAR.size(), "\f");
    }
    EXPECT_EQ(read_file(screens), "\f" + screens_text);
    EXPECT_EQ(run.output, "");
    unlink(screens.c_str());
}

} // namespace
