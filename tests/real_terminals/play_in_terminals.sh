#!/usr/bin/env bash
# Plays the game in real terminal emulators on a virtual X display, with real key presses:
#
#   play_in_terminals.sh path/to/sminatore [terminal...]
#
# Terminals: xterm, st, urxvt, xfce4-terminal (VTE), screen and tmux inside xterm, kitty,
# konsole, qterminal, pterm (PuTTY) and xtermjs (xterm.js in Chromium, see xtermjs/); all of them
# when none is named. Each run starts an X display of its own, so runs side by side do not share
# keys. In each, an interactive bash (tests/real_terminals/shell.rc) runs under `script`, which
# hands keys and output through byte for byte and logs what the game writes; the answers the
# player sees ("N.A.", the letter or digit echoed) are read back from that log. Per
# terminal:
#   - every key of keys.txt at both prompts, against what the player must see;
#   - a window resize mid-game, which must draw the screen again, and the game to its end;
#   - Ctrl+Z, a look at the terminal, then `fg` and the game to its end;
#   - Ctrl+\, SIGTERM and SIGHUP;
# and after each of them the shell's line mode (stty -g) and what the terminal sends for a
# cursor key, a keypad key, Insert and Alt+a must be as before the game, so the cursor-key,
# keypad and meta modes are given back. Where the terminal can print its own screen (xterm, st,
# urxvt through Media Copy; screen and tmux from their buffers; kitty by remote control; xterm.js
# from its page), the shell's screen must be back after the game. Last, the shell leaves
# `script` for the terminal itself, and the window is closed while the game waits for a key:
# the game must end as by SIGHUP (129), leaving no process. Exits 1 if anything differs;
# KEEP_WORK=1 keeps the logs.
set -uo pipefail

game=$(realpath "$1")
shift
here=$(cd "$(dirname "$0")" && pwd)
terminals=("$@")
[[ ${#terminals[@]} -gt 0 ]] || terminals=(xterm st urxvt xfce4-terminal screen tmux kitty konsole qterminal pterm xtermjs)

clock=$("$here/../worked_clock.sh") || exit 1
work=$(mktemp -d)
xvfb_pid=
terminal_group=
failures=0

cleanup()
{
    stop_terminal
    [[ -z $xvfb_pid ]] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
    [[ -n ${KEEP_WORK:-} ]] && echo "logs kept in $work" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 2' INT TERM HUP

fail()
{
    echo "  FAIL: $*"
    failures=$((failures + 1))
}

# Waits until the command succeeds, polling every 10 ms for at most $1 seconds by the clock: on a
# loaded machine a poll itself can take longer than the pause between two.
wait_until()
{
    local limit=$1
    shift
    local deadline=$((${EPOCHREALTIME/./} + limit * 1000000))
    while :; do
        "$@" && return 0
        ((${EPOCHREALTIME/./} < deadline)) || return 1
        sleep 0.01
    done
}

# Xvfb takes the first free display number itself and tells it once it listens, so that runs
# side by side each get a display of their own. Without -noreset it would start afresh, keymap
# and all, each time its last client leaves, as xmodmap below is.
start_display()
{
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    if wait_until 30 test -s "$work/display"; then
        export DISPLAY=":$(head -1 "$work/display")"
        if wait_until 30 xdotool getdisplaygeometry >/dev/null 2>&1; then
            # A key missing from the keymap xdotool maps onto a spare keycode for the one press
            # and takes away again, and a busy terminal can read the keymap in between: the keys
            # of keys.txt that the US keymap lacks get keycodes of their own before any terminal
            # starts.
            xmodmap -e "keycode 247 = egrave Egrave" && xmodmap -pke | grep -q '^keycode 247 = egrave' && return 0
        fi
    fi
    echo "no X display could be started: $(cat "$work/xvfb.log")" >&2
    exit 1
}

# ---------------------------------------------------------------------------------------------
# One terminal at a time on the display, so that keys go to it alone.

dir=      # this terminal's files
log=      # what the game and the shell wrote, as `script` logged it
window=

stop_terminal()
{
    if [[ -n $terminal_group ]]; then
        # `script` and the shell lead sessions of their own, and screen's server leaves for one:
        # none of them is in the terminal's process group.
        local shell
        shell=$(cat "$dir/shell.pid" 2>/dev/null)
        [[ -z $shell ]] || kill -HUP "$shell" $(ps -o ppid= -p "$shell") 2>/dev/null
        SCREENDIR="$dir/screens" screen -X quit >/dev/null 2>&1
        kill -TERM -- "-$terminal_group" 2>/dev/null
        wait_until 10 group_gone "$terminal_group" || kill -KILL -- "-$terminal_group" 2>/dev/null
        [[ ! -S $dir/tmux.socket ]] || tmux -S "$dir/tmux.socket" kill-server 2>/dev/null
        terminal_group=
    fi
}

group_gone() { ! kill -0 -- "-$1" 2>/dev/null; }

start_terminal()
{
    local name=$1
    dir="$work/$name"
    log="$dir/log"
    mkdir -p "$dir/home"
    local inner=("$here/session.sh")
    local command class search=--classname
    case $name in
    xterm)
        # Media Copy (CSI i) prints the screen into screen.txt.
        command=(xterm -geometry 80x24 -xrm "XTerm*printerCommand: cat > '$dir/screen.txt'" -e "${inner[@]}")
        class=xterm ;;
    st)
        # st's Media Copy writes to its -o file, which then holds what st was sent and the screen.
        command=(st -g 80x24 -o "$dir/st-io.txt" -e "${inner[@]}")
        class=st-256color ;;
    urxvt)
        command=(urxvt -geometry 80x24 -print-pipe "cat > '$dir/screen.txt'" -e "${inner[@]}")
        class=urxvt ;;
    xfce4-terminal)
        # The menu bar hidden, so that F10 and Alt with a letter reach the terminal, and no help
        # on F1 (with no browser here it opens an error box that takes the next keys). Closing
        # the window with the game in it asks first, unless told not to, as konsole, qterminal
        # and pterm do: the question is not what is tried.
        mkdir -p "$dir/home/.config/xfce4/terminal"
        printf '(gtk_accel_path "<Actions>/terminal-window/contents" "")\n' \
            >"$dir/home/.config/xfce4/terminal/accels.scm"
        printf '[Configuration]\nMiscConfirmClose=FALSE\n' >"$dir/home/.config/xfce4/terminal/terminalrc"
        command=(env "XDG_CONFIG_HOME=$dir/home/.config" dbus-run-session -- xfce4-terminal --disable-server
                 --hide-menubar --geometry 80x24 -x "${inner[@]}")
        class=xfce4-terminal ;;
    screen)
        # Without "altscreen on" screen keeps no alternate screen, and the game's last screen
        # stays on the window after it.
        echo 'altscreen on' >"$dir/screenrc"
        command=(xterm -geometry 80x24 -e screen -c "$dir/screenrc" "${inner[@]}")
        class=xterm ;;
    tmux)
        command=(xterm -geometry 80x24 -e tmux -S "$dir/tmux.socket" -f /dev/null new-session "${inner[@]}")
        class=xterm ;;
    kitty)
        # No OpenGL but Mesa's software one under Xvfb. Its remote control reads the screen back.
        # Closing the window with the game in it asks first, unless told not to.
        command=(env LIBGL_ALWAYS_SOFTWARE=1 kitty --config NONE -o linux_display_server=x11
                 -o initial_window_width=80c -o initial_window_height=24c -o remember_window_size=no
                 -o allow_remote_control=yes -o confirm_os_window_close=0
                 --listen-on "unix:$dir/kitty.socket" "${inner[@]}")
        class=kitty ;;
    konsole)
        command=(dbus-run-session -- konsole --separate --hide-menubar --hide-tabbar
                 -p TerminalColumns=80 -p TerminalRows=24 -e "${inner[@]}")
        class=konsole ;;
    qterminal)
        # Its -e takes one string, which it splits on spaces itself.
        { echo '#!/bin/bash'; printf 'exec'; printf ' %q' "${inner[@]}"; echo; } >"$dir/inner.sh"
        chmod +x "$dir/inner.sh"
        mkdir -p "$dir/home/.config/qterminal.org"
        printf '[General]\nAskOnExit=false\n' >"$dir/home/.config/qterminal.org/qterminal.ini"
        command=(dbus-run-session -- qterminal -e "$dir/inner.sh")
        class=qterminal ;;
    pterm)
        mkdir -p "$dir/home/.putty/sessions"
        echo WarnOnClose=0 >"$dir/home/.putty/sessions/Default%20Settings"
        command=(pterm -geometry 80x24 -e "${inner[@]}")
        class=pterm ;;
    xtermjs)
        command=("$here/xtermjs/start.sh" "$dir" "${inner[@]}")
        search=--class
        class=xtermjs ;;
    *)
        echo "unknown terminal $name" >&2
        exit 1 ;;
    esac
    mkdir -m 700 "$dir/screens"
    # A command this script starts in the background has SIGINT and SIGQUIT ignored, and a
    # terminal that does not set them back for its shell passes that on to the game, where
    # Ctrl+\ would then do nothing: the terminal starts as from a desktop, with both as default.
    (cd "$dir" && HOME="$dir/home" SCREENDIR="$dir/screens" WORK="$dir" GAME="$game" CLOCK="$clock" \
        exec env --default-signal=INT,QUIT setsid "${command[@]}") >"$dir/terminal.err" 2>&1 &
    terminal_group=$!
    # VTE terminals are slow to start.
    if ! wait_until 60 test -s "$dir/shell.pid" || ! wait_until 20 shell_prompt_shown; then
        fail "$name did not start: $(tail -5 "$dir/terminal.err")"
        return 1
    fi
    # Some terminals start the shell before they show their window.
    wait_until 20 find_window "$search" "$class"
    if [[ -z $window ]]; then
        fail "$name: no window found"
        return 1
    fi
    xdotool mousemove --window "$window" 100 100
    # With no window manager the focus is ours to give, and stays.
    xdotool windowfocus --sync "$window" 2>/dev/null
    wait_until 10 test "$(xdotool getwindowfocus 2>/dev/null)" == "$window" ||
        { fail "$name: its window does not take the focus"; return 1; }
}

find_window() { window=$(xdotool search --onlyvisible "$1" "$2" 2>/dev/null | tail -1); [[ -n $window ]]; }

shell_prompt_shown() { [[ -s $log ]] && [[ $(tail -c 2 "$log") == '$ ' ]]; }

shell_pid() { cat "$dir/shell.pid"; }

# The shell has come back once another prompt follows the command typed.
run_in_shell()
{
    local prompts
    prompts=$(shell_prompts)
    xdotool type --delay 15 "$1"
    xdotool key Return
    [[ ${2:-wait} == wait ]] || return 0
    wait_until 20 shell_prompts_above "$prompts" || fail "the shell did not come back after: $1"
}

shell_prompts() { grep -ao '\$ ' "$log" | wc -l; }

shell_prompts_above() { (($(shell_prompts) > $1)) && shell_prompt_shown; }

# ---------------------------------------------------------------------------------------------
# The answers the game wrote after byte $1 of the log, one a line: what follows a prompt's colon
# up to the end of its line, the prompt that was waiting at that byte included.
answers_since()
{
    { printf 'Waiting: '; tail -c +$(($1 + 1)) "$log"; } | tr '\r\033' '\n\n' |
        grep -aoE '(Waiting|Colonna|Riga): .+' | sed 's/^[A-Za-z]*: //'
}

# Each answer is followed by the next prompt (or the next screen), so counting prompts is enough.
answered_since() { (($(tail -c +$(($1 + 1)) "$log" | grep -aoE 'Colonna: |Riga: |HAI ' | wc -l) >= $2)); }

# The prompt waiting for a key, if any.
waiting_for() { tail -c 2000 "$log" | tr '\r\033' '\n\n' | grep -aoE '(Colonna|Riga): .*' | tail -1 | grep -E ': $' | cut -d: -f1; }

log_size() { stat -c %s "$log"; }

# A key refused at both prompts in every terminal. Pressed after a key that must bring no
# answer, its own answer tells that the game has read the key before it: keys reach the terminal,
# and their bytes the game, in the order pressed.
MARKER_KEY=x

# Presses the key; the answers it brought, joined by spaces, or "-" for none.
press()
{
    local key=$1 expected_count=$2
    local before
    before=$(log_size)
    if [[ $key == num:* ]]; then
        xdotool key Num_Lock "${key#num:}" Num_Lock
    else
        xdotool key "$key"
    fi
    local got
    if ((expected_count == 0)); then
        xdotool key "$MARKER_KEY"
        wait_until 20 answered_since "$before" 1
        got=$(answers_since "$before" | sed '$d' | paste -sd ' ')
    else
        wait_until 20 answered_since "$before" "$expected_count"
        got=$(answers_since "$before" | paste -sd ' ')
    fi
    echo "${got:--}"
}

# Brings the game to the prompt named, with moves that can neither lose nor win: any column at
# row 2, or column C (which has no bomb) at any row.
bring_to()
{
    local prompt=$1
    local now
    now=$(waiting_for)
    [[ $now == "$prompt" ]] && return 0
    local before
    before=$(log_size)
    case $now in
    Colonna) xdotool key c ;;
    Riga) xdotool key 2 ;;
    *) return 1 ;;
    esac
    wait_until 20 answered_since "$before" 1 && wait_until 20 test "$(waiting_for)" == "$prompt"
}

count_answers() { [[ $1 == - || $1 == skip ]] && echo 0 || wc -w <<<"$1"; }

# Every key of keys.txt at "Colonna", then at "Riga"; prints the keys that differ and those that
# the terminal treats in its own way.
key_table()
{
    local name=$1
    local keys=() terminal key colonna riga why
    local -A at_colonna at_riga reason
    while IFS='|' read -r terminal_key colonna riga why; do
        read -r terminal key <<<"$terminal_key"
        [[ $terminal == '*' || $terminal == "$name" ]] || continue
        [[ $terminal == '*' ]] && keys+=("$key")
        read -r colonna <<<"$colonna"
        read -r riga <<<"$riga"
        at_colonna[$key]=$colonna
        at_riga[$key]=$riga
        reason[$key]=$(sed 's/^ *//' <<<"$why")
    done < <(grep -vE '^(#|$)' "$here/keys.txt")
    local passed=0 total=0 got_colonna got_riga mark
    printf '  %-15s %-12s %-12s %-12s %-12s\n' key Colonna got Riga got
    for key in "${keys[@]}"; do
        got_colonna=skip
        got_riga=skip
        if [[ ${at_colonna[$key]} != skip ]]; then
            bring_to Colonna || { fail "$name: the game is not at Colonna before $key"; return 1; }
            got_colonna=$(press "$key" "$(count_answers "${at_colonna[$key]}")")
            total=$((total + 1))
            [[ $got_colonna == "${at_colonna[$key]}" ]] && passed=$((passed + 1))
        fi
        if [[ ${at_riga[$key]} != skip ]]; then
            bring_to Riga || { fail "$name: the game is not at Riga before $key"; return 1; }
            got_riga=$(press "$key" "$(count_answers "${at_riga[$key]}")")
            total=$((total + 1))
            [[ $got_riga == "${at_riga[$key]}" ]] && passed=$((passed + 1))
        fi
        mark=ok
        [[ $got_colonna == "${at_colonna[$key]}" && $got_riga == "${at_riga[$key]}" ]] || mark=DIFFERS
        if [[ $mark != ok || -n ${reason[$key]} ]]; then
            printf '  %-15s %-12s %-12s %-12s %-12s %s %s\n' "$key" "${at_colonna[$key]}" "$got_colonna" \
                "${at_riga[$key]}" "$got_riga" "$mark" "${reason[$key]:+(${reason[$key]})}"
        fi
        [[ $mark == ok ]] || failures=$((failures + 1))
    done
    echo "  keys: $passed of $total answers as the player must see them"
}

# ---------------------------------------------------------------------------------------------
# The terminal as the shell has it.

# What the terminal sends for these keys with Num Lock off: cursor-key mode (Up), keypad mode
# (KP_Add in most terminals, Insert in st) and meta mode (Alt+a in xterm). The shell's key reader
# reads up to the x that follows them.
PROBE_KEYS=(Up KP_Add Insert alt+a x)

look_at_terminal()
{
    local label=$1
    run_in_shell "mode $label"
    run_in_shell "keys $label" no-wait
    if ! wait_until 10 test -e "$dir/$label.ready"; then
        fail "$label: the key reader did not start"
        return
    fi
    xdotool key --delay 50 "${PROBE_KEYS[@]}"
    wait_until 10 test -e "$dir/$label.done" || fail "$label: the key reader did not end"
    wait_until 5 shell_prompt_shown
}

same_terminal_as_before()
{
    local label=$1 what=$2
    look_at_terminal "$label"
    cmp -s "$dir/before.stty" "$dir/$label.stty" ||
        fail "$what: line mode $(cat "$dir/$label.stty"), before the game $(cat "$dir/before.stty")"
    cmp -s "$dir/before.keys" "$dir/$label.keys" ||
        fail "$what: keys send $(od -An -c "$dir/$label.keys" | tr -s ' ' | paste -sd ' '), before the game $(od -An -c "$dir/before.keys" | tr -s ' ' | paste -sd ' ')"
}

# The shell's screen as the terminal shows it, where it can tell.
screen_text()
{
    local name=$1
    case $name in
    xterm | urxvt)
        rm -f "$dir/screen.txt"
        run_in_shell "printf '\\033[i'"
        wait_until 5 test -s "$dir/screen.txt" && cat "$dir/screen.txt" ;;
    st)
        local size
        size=$(stat -c %s "$dir/st-io.txt" 2>/dev/null || echo 0)
        run_in_shell "printf '\\033[i'"
        # st prints the screen as it reads the request, before the prompt that follows it.
        wait_until 10 st_printed_since "$size"
        tail -c +$((size + 1)) "$dir/st-io.txt" ;;
    screen)
        rm -f "$dir/screen.txt"
        SCREENDIR="$dir/screens" screen -X hardcopy "$dir/screen.txt" &&
            wait_until 10 test -s "$dir/screen.txt" && cat "$dir/screen.txt" ;;
    tmux)
        tmux -S "$dir/tmux.socket" capture-pane -p ;;
    kitty)
        kitty @ --to "unix:$dir/kitty.socket" get-text ;;
    xtermjs)
        # The page writes its screen into screen.txt when the bridge asks it.
        rm -f "$dir/screen.txt"
        kill -USR1 "$(cat "$dir/bridge.pid")" &&
            wait_until 10 test -e "$dir/screen.txt" && cat "$dir/screen.txt" ;;
    *)
        return 1 ;;  # VTE has no way to print its screen
    esac
}

wait_for_status() { wait_until "${2:-30}" test -s "$dir/status" && [[ $(cat "$dir/status") == "$1" ]]; }

start_game()
{
    local before
    before=$(log_size)
    run_in_shell play no-wait
    wait_until 10 game_asks_since "$before" || { fail "the game did not start"; return 1; }
}

game_asks_since() { tail -c +$(($1 + 1)) "$log" | grep -aqF 'Colonna: ' && [[ -n $(waiting_for) ]]; }

# ---------------------------------------------------------------------------------------------

one_terminal()
{
    local name=$1
    echo "== $name"
    local started=$SECONDS
    start_terminal "$name" || { stop_terminal; return; }
    run_in_shell "echo the shell before the game"
    local screen_before=
    if screen_before=$(screen_text "$name") && ! grep -qF 'the shell before the game' <<<"$screen_before"; then
        fail "the shell's screen could not be read: $screen_before"
    fi
    look_at_terminal before

    # Every key, at both prompts.
    # Once the game is not where the keys expect it, what follows would tell nothing more.
    start_game && key_table "$name" || { stop_terminal; return; }

    # A resize mid-game draws the screen again; then the game to its end.
    bring_to Colonna
    local size
    size=$(stat -c %s "$log")
    xdotool windowsize "$window" 900 500
    wait_until 5 redrawn_since "$size" || fail "no new drawing after a resize"
    xdotool key e 0 Return Return
    wait_for_status 0 || fail "the game did not end with 0 after it was lost"
    if [[ -n $screen_before ]]; then
        local screen_after
        screen_after=$(screen_text "$name")
        grep -qF 'the shell before the game' <<<"$screen_after" && ! grep -qF 'A B C D E F G H I J' <<<"$screen_after" ||
            fail "the shell's screen is not back after the game: $screen_after"
    fi
    same_terminal_as_before after "after a game"

    # Ctrl+Z, the shell's terminal while the game is stopped, fg, and the game to its end.
    start_game && {
        xdotool key x ctrl+z
        wait_until 10 shell_prompt_shown || fail "Ctrl+Z did not give the shell back"
        same_terminal_as_before stopped "after Ctrl+Z"
        size=$(stat -c %s "$log")
        run_in_shell resume no-wait
        wait_until 10 redrawn_since "$size" || fail "fg did not draw the game again"
        xdotool key e 0 Return Return
        wait_for_status 0 || fail "the game did not end with 0 after fg"
        same_terminal_as_before resumed "after Ctrl+Z, fg and the end"
    }

    # The ways out at once.
    start_game && {
        xdotool key ctrl+backslash
        if wait_for_status 131; then
            same_terminal_as_before quit "after Ctrl+\\"
        else
            fail "Ctrl+\\ did not end the game with 131 ($(cat "$dir/status" 2>/dev/null))"
            end_lost_game
        fi
    }
    local signal status
    for signal in TERM:143 HUP:129; do
        status=${signal#*:}
        signal=${signal%:*}
        start_game && {
            kill "-$signal" "$(pgrep -P "$(shell_pid)" | head -1)"
            if wait_for_status "$status"; then
                same_terminal_as_before "sig$signal" "after SIG$signal"
            else
                fail "SIG$signal did not end the game with $status ($(cat "$dir/status" 2>/dev/null))"
                end_lost_game
            fi
        }
    done
    window_closed "$name"
    stop_terminal
    echo "  ($((SECONDS - started)) s)"
}

# The window closed while the game waits for a key, with nothing between the game and the
# terminal: the window as a window manager closes it, or in screen and tmux the multiplexer's
# window (closing the xterm around them only detaches). The terminal's side of the pseudo-terminal
# goes away, and the game must end as by SIGHUP, leaving no process behind. For this the shell
# under `script` leaves, and the same shell runs alone on the terminal (session.sh).
window_closed()
{
    local name=$1
    local scripted
    scripted=$(shell_pid)
    : >"$dir/bare"
    run_in_shell exit no-wait
    wait_until 20 shell_replaced "$scripted" || { fail "$name: no shell of its own on the terminal after script"; return; }
    xdotool type --delay 15 play_watched
    xdotool key Return
    local game
    wait_until 20 watched_game_started || { fail "$name: the game did not start for the close"; return; }
    game=$(watched_game)
    # The watcher ignores SIGHUP for itself: a game that inherited that would be tested as under
    # nohup, where a hang-up is not to end it by the signal.
    (($(signals_ignored "$game") & 1)) && fail "$name: the game started with SIGHUP ignored"
    # A key refused at either prompt: once the game has read it and answered, it waits for the
    # next key.
    wait_until 20 game_waits "$game" || { fail "$name: the game did not wait for a key"; end_watched_game "$game"; return; }
    local io
    io=$(game_io "$game")
    xdotool key "$MARKER_KEY"
    wait_until 20 game_answered_since "$game" "$io" || { fail "$name: the game did not answer a key"; end_watched_game "$game"; return; }
    case $name in
    screen) SCREENDIR="$dir/screens" screen -X kill ;;
    tmux) tmux -S "$dir/tmux.socket" kill-pane ;;
    # konsole asks first, whatever its settings say: the question answered as the player does,
    # by its Close Window button.
    konsole)
        "$here/close_window.py" "$window" && wait_until 20 find_window --name '^Confirm Close' &&
            xdotool windowfocus --sync "$window" && xdotool key alt+w ;;
    *) "$here/close_window.py" "$window" ;;
    esac || { fail "$name: the window could not be closed"; end_watched_game "$game"; return; }
    wait_for_status 129 ||
        fail "$name: closing the window ended the game with $(cat "$dir/status" 2>/dev/null || echo 'no status') instead of 129"
    wait_until 20 process_gone "$game" || { fail "$name: the game is left running after its window was closed"; end_watched_game "$game"; }
}

shell_replaced() { [[ -s $dir/shell.pid && $(shell_pid) != "$1" ]]; }

# The game under play_watched's watcher, a child of the shell.
watched_game() { pgrep -P "$(pgrep -P "$(shell_pid)" -x sh | head -1)" | head -1; }

watched_game_started() { [[ -n $(watched_game 2>/dev/null) ]]; }

signals_ignored() { echo $((16#$(awk '/^SigIgn:/ {print $2}' "/proc/$1/status"))); }

# Bytes read and written so far, and whether the game sleeps: its first screen drawn, a key
# answered, are waits for the terminal.
game_io() { awk '/^(rchar|wchar):/ {printf "%s ", $2}' "/proc/$1/io" && awk '{print $3}' "/proc/$1/stat"; }

game_waits() { local io; io=$(game_io "$1") && read -r _ written state <<<"$io" && ((written > 0)) && [[ $state == S ]]; }

game_answered_since()
{
    local io reads writes state reads_before writes_before
    io=$(game_io "$1") && read -r reads writes state <<<"$io" && read -r reads_before writes_before _ <<<"$2" &&
        ((reads > reads_before && writes > writes_before)) && [[ $state == S ]]
}

process_gone() { ! kill -0 "$1" 2>/dev/null; }

end_watched_game() { kill -KILL "$1" 2>/dev/null; }

# At least a window's height of lines (24) after byte $1 of st's -o file: its printed screen.
st_printed_since() { (($(tail -c +$(($1 + 1)) "$dir/st-io.txt" | wc -l) >= 24)); }

# A game that a way out did not end would take the keys of every check after it: it is killed,
# and the shell's line mode and the terminal's modes put back as the game should have left them.
end_lost_game()
{
    local game
    game=$(pgrep -P "$(shell_pid)" | head -1)
    [[ -z $game ]] || kill -KILL "$game"
    wait_until 20 shell_prompt_shown || return
    run_in_shell "stty $(cat "$dir/before.stty"); printf '\\033[?1l\\033>\\033[?1049l'"
}

redrawn_since() { tail -c +$(($1 + 1)) "$log" | grep -aqF 'A B C D E F G H I J'; }

start_display
for terminal in "${terminals[@]}"; do
    one_terminal "$terminal"
done
if ((failures > 0)); then
    echo "$failures failures"
    exit 1
fi
echo "every terminal as expected"
