#!/usr/bin/env bash
# Plays whole games of the Windows program under Wine: the game runs in a detached tmux session,
# keys go in through tmux and the screens are read back from the pane. Then one game is played
# with standard output in a file, beside the POSIX program given the same keys, and the two
# files and the sizes of the writes that made them must be the same.
#
#   play_under_wine.sh path/to/sminatore.exe path/to/posix/sminatore
#
# The clock stands still at 1000000000 for the game (libfaketime preloaded into Wine's own
# process), which lays out the field below. Wine's console differs from Windows' in ways the
# test steps around: keys are paced and screens are read once they have settled; Home and End go
# in as the raw sequences ESC [ H and ESC [ F, since Wine does not know the ESC [ 1 ~ and
# ESC [ 4 ~ that tmux sends for them; and Ctrl+C and a lone Escape are not tried, as Wine leaves
# Ctrl+C to the terminal as a signal and takes a lone Escape together with the key after it.
set -euo pipefail

exe=$(realpath "$1")
posix=$(realpath "$2")

# The frozen clock's date is read in UTC.
export TZ=UTC
source "$(dirname "$0")/wine_prefix.sh"

# libfaketime itself rather than its faketime wrapper, which waits for every process started
# under it (Wine's services too) and names its semaphores after its process id, so that one left
# behind by a killed run can stop a later one from starting.
clock=$("$(dirname "$0")/../worked_clock.sh") || fail "cannot read the clock's second"
libfaketime=$(dpkg -L libfaketime | grep '/libfaketimeMT\.so' | head -1)
[[ -n $libfaketime ]] || fail "libfaketime not found"
FROZEN_CLOCK=(env "LD_PRELOAD=$libfaketime" "FAKETIME=$clock" FAKETIME_DONT_FAKE_MONOTONIC=1)

# The field of the clock at 1000000000 and the cells still covered after H4, as the C++ tests
# describe them (B a bomb, . an empty cell, digits counts).
worked_field="$(dirname "$0")/../worked_field.h"
mapfile -t FIELD < <(grep -o '"[.B0-9]\{10\}"' "$worked_field" | tr -d '"')
AFTER_H4_HIDDEN=$(sed -n 's/.*COVERED_AFTER_H4 = "\(.*\)";/\1/p' "$worked_field")
[[ ${#FIELD[@]} -eq 10 && -n $AFTER_H4_HIDDEN ]] || fail "cannot read the field from $worked_field"

ALL_CELLS=""
for column in A B C D E F G H I J; do
    for row in 0 1 2 3 4 5 6 7 8 9; do
        ALL_CELLS+=" $column$row"
    done
done

# The board with the named cells ("E0": column, then row) covered, tabs as the console shows them.
board()
{
    local hidden=" $1 " row column name cell letters=ABCDEFGHIJ
    printf '\n     A B C D E F G H I J\n\n'
    for row in 0 1 2 3 4 5 6 7 8 9; do
        printf '  %d ' "$row"
        for column in 0 1 2 3 4 5 6 7 8 9; do
            name=${letters:column:1}$row
            cell=${FIELD[row]:column:1}
            if [[ $hidden == *" $name "* ]]; then
                printf ' #'
            elif [[ $cell == . ]]; then
                printf '  '
            else
                printf ' %s' "$cell"
            fi
        done
        printf '\n'
    done
}

without() # cells, then the cells to take away
{
    local cells=" $1 " cell
    for cell in $2; do
        cells=${cells/ $cell / }
    done
    echo "$cells"
}

# A screen as the pane shows it: tabs at every eighth column, no spaces at line ends, no empty
# lines after the last text.
normalise()
{
    expand | sed 's/ *$//' | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}'
}

# Each game has a tmux session of its own.
games=0
game=""

start_game() # command line for the shell in the pane
{
    rm -f "$work/status"
    games=$((games + 1))
    game="game${BASHPID}_$games"  # apart from those of a part that failed in another subshell
    tmux -S "$socket" new-session -d -s "$game" -x 80 -y 40 "$1; echo \$? > '$work/status'"
}

start_windows_game() # redirection of standard output, if any
{
    start_game "cd '$work' && ${FROZEN_CLOCK[*]@Q} wine '$exe' ${1:-}"
}

# Sends one key (tmux key names, or -l and raw text) and gives the game time to take it. Keys
# typed before the console has put the terminal out of line mode would wait for an Enter.
key()
{
    local tty deadline=$((SECONDS + 20))
    tty=$(tmux -S "$socket" display-message -p -t "$game" '#{pane_tty}')
    until stty -a -F "$tty" | grep -q -- -icanon; do
        ((SECONDS < deadline)) || fail "the terminal stays in line mode"
        sleep 0.05
    done
    tmux -S "$socket" send-keys -t "$game" "$@"
    sleep 0.15
}

# Waits until the pane shows the screen given (the lines, joined with line ends) and has kept
# showing it for a moment.
screen_is()
{
    local expected actual previous="" deadline=$((SECONDS + ${TIMEOUT:-20}))
    expected=$(printf '%s\n' "$@" | normalise)
    while ((SECONDS < deadline)); do
        actual=$(tmux -S "$socket" capture-pane -p -t "$game" 2>/dev/null | normalise || true)
        if [[ $actual == "$expected" && $previous == "$expected" ]]; then
            return 0
        fi
        previous=$actual
        sleep 0.1
    done
    diff <(echo "$expected") <(echo "$actual") >&2 || true
    fail "screen not as expected after ${TIMEOUT:-20} s (< expected, > shown), at: ${FUNCNAME[1]} line ${BASH_LINENO[0]}"
}

exit_status_is()
{
    local deadline=$((SECONDS + 20))
    while [[ ! -s $work/status ]] && ((SECONDS < deadline)); do
        sleep 0.1
    done
    if [[ ! -s $work/status ]]; then
        tmux -S "$socket" capture-pane -p -t "$game" >&2 || true
        fail "the game did not end, at: ${FUNCNAME[1]} line ${BASH_LINENO[0]}"
    fi
    [[ $(cat "$work/status") == "$1" ]] || fail "exit status $(cat "$work/status"), expected $1"
}

COVERED=$(board "$ALL_CELLS")
AFTER_H4=$(board "$AFTER_H4_HIDDEN")
SOLVED=$(board "")

lost_game()
{
    start_windows_game
    TIMEOUT=60 screen_is "$COVERED" "" $'\tColonna:'
    key x
    key 5
    key Up
    screen_is "$COVERED" "" $'\tColonna: N.A.' $'\tColonna: N.A.' $'\tColonna: N.A.' $'\tColonna: H' $'\tRiga:'
    key F7
    key k
    key -l $'\e[F'
    screen_is "$COVERED" "" $'\tColonna: N.A.' $'\tColonna: N.A.' $'\tColonna: N.A.' $'\tColonna: H' \
        $'\tRiga: N.A.' $'\tRiga: N.A.' $'\tRiga: N.A.' $'\tRiga: N.A.' $'\tRiga: N.A.' $'\tRiga:'
    key 4
    screen_is "$AFTER_H4" "" $'\tColonna:'
    key -l $'\e[H'
    screen_is "$AFTER_H4" "" $'\tColonna: N.A.' $'\tColonna: G' $'\tRiga:'
    key 9
    screen_is "$SOLVED" "" $'\tHAI PERSO!!'
    key Space
    screen_is "Creato da Sorvendi"
    key Space
    exit_status_is 0
    echo "ok: lost game ($((SECONDS - started)) s)"
}

won_game()
{
    local hidden=$AFTER_H4_HIDDEN
    start_windows_game
    TIMEOUT=60 screen_is "$COVERED" "" $'\tColonna:'
    key h
    key 4
    screen_is "$AFTER_H4" "" $'\tColonna:'
    # Each move: column key, row key, the cells it uncovers.
    local moves=("B 9 B9 A8 B8 C8 A9 C9" "i 0 I0" "J 0 J0" "j 1 J1" "F7 7 A7" "c 7 C7" "d 8 D8")
    local move column row opened
    for move in "${moves[@]}"; do
        read -r column row opened <<<"$move"
        key "$column"
        key "$row"
        hidden=$(without "$hidden" "$opened")
        screen_is "$(board "$hidden")" "" $'\tColonna:'
    done
    key E
    key 9
    screen_is "$SOLVED" "" $'\tHAI VINTO!!'
    # A key that gives two codes leaves both closing screens at once.
    key F1
    exit_status_is 0
    echo "ok: won game ($((SECONDS - started)) s)"
}

# The sizes of the writes that put the game's text into the file, from an strace log. Wine's
# process has many threads and descriptors: the game's are those of the first frame's write.
write_sizes() # log, first bytes of the first write as strace shows them
{
    perl -ne '
        BEGIN { $start = shift @ARGV }
        next unless /^(\d+)\s+write\((\d+), "(.*?)"(?:\.\.\.)?, (\d+)/;
        ($pid, $fd, $text, $size) = ($1, $2, $3, $4);
        if (!defined $writer && index($text, $start) == 0) { $writer = "$pid $fd" }
        print "$size\n" if defined $writer && "$pid $fd" eq $writer;
    ' "$2" "$1"
}

play_lost_game_blind()
{
    key x
    key 5
    key Up
    key F7
    key k
    key -l $'\e[F'
    key 4
    key -l $'\e[H'
    key 9
    key Space
    key Space
}

# The first frame reaches the file when the game first waits for a key.
wait_for_file()
{
    local deadline=$((SECONDS + 60))
    while [[ ! -s $1 ]] && ((SECONDS < deadline)); do
        sleep 0.1
    done
    if [[ ! -s $1 ]]; then
        tmux -S "$socket" capture-pane -p -t "$game" >&2 || true
        fail "nothing written to $1"
    fi
}

same_output_as_posix()
{
    local strace_run=(strace -f -qq -e trace=write -s 16 -o)
    start_game "cd '$work' && ${strace_run[*]@Q} windows.trace ${FROZEN_CLOCK[*]@Q} wine '$exe' >windows.out"
    wait_for_file "$work/windows.out"
    play_lost_game_blind
    exit_status_is 0

    start_game "cd '$work' && ${strace_run[*]@Q} posix.trace ${FROZEN_CLOCK[*]@Q} '$posix' >posix.out"
    wait_for_file "$work/posix.out"
    play_lost_game_blind
    exit_status_is 0

    cmp "$work/posix.out" "$work/windows.out" || fail "standard output differs from the POSIX program's"
    local windows_writes posix_writes
    windows_writes=$(write_sizes "$work/windows.trace" '\f')
    posix_writes=$(write_sizes "$work/posix.trace" '\f')
    [[ -n $windows_writes && $windows_writes == "$posix_writes" ]] ||
        fail "writes differ from the POSIX program's: $(echo $windows_writes) against $(echo $posix_writes)"
    echo "ok: standard output the same as the POSIX program's, in the same $(echo "$posix_writes" | wc -l) writes ($((SECONDS - started)) s)"
}

# Standard output that cannot be written ends the game with a message and status 1.
output_error()
{
    start_windows_game ">/dev/full 2>errors.txt"
    exit_status_is 1
    local expected="sminatore: impossibile scrivere sullo standard output (disco pieno)."
    [[ $(cat "$work/errors.txt") == "$expected" ]] || fail "standard error: $(cat "$work/errors.txt")"
    echo "ok: standard output on a full disk ($((SECONDS - started)) s)"
}

# Each game in a subshell of its own: one that fails does not keep the others from being played.
for part in lost_game won_game same_output_as_posix output_error; do
    ("$part") || failures=$((failures + 1))
done
if ((failures > 0)); then
    echo "$failures failures"
    exit 1
fi
echo "Wine games played in $((SECONDS - started)) s"
