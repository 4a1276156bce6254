#!/usr/bin/env bash
# Sourced by the scripts that run the Windows programs under Wine: a work directory with a fresh
# Wine prefix, made ready before the first program starts, and a tmux server whose panes give
# the programs a console. All of it goes when the script ends (KEEP_WORK=1 keeps the directory).
#
# What it gives the script that sources it:
declare work      # the work directory
declare socket    # the tmux server's socket
declare started   # when the prefix was begun, in the shell's SECONDS
declare failures  # how many checks failed, as fail counts them

failures=0
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
# No Mono or Gecko installers when the prefix is made: the programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
socket="$work/tmux"

cleanup()
{
    tmux -S "$socket" kill-server 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    [[ -n ${KEEP_WORK:-} ]] || rm -rf "$work"
}
trap cleanup EXIT

# As in the real-terminal run, a failure is told and counted; then the part of the run that met
# it ends (a part played in a subshell, or else the whole run), since what follows would only
# tell of the same failure.
fail()
{
    echo "  FAIL: $*"
    failures=$((failures + 1))
    exit 1
}

started=$SECONDS
wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(cat "$work/wineboot.log")"
# Wine goes on setting up the new prefix for a while after wineboot has returned, so everything
# is let end first. Then one server and its services are started for all the programs, so that
# none of them waits for them, and outside any clock that a program's test fixes.
wineserver -w
wineserver -p
wine cmd /c exit >"$work/services.log" 2>&1
echo "Wine prefix ready in $((SECONDS - started)) s"

# The tmux server stays up from program to program, held by a session of its own: a server left
# by its last session, or a session closing under a program's name, may take the next one with it.
tmux -S "$socket" new-session -d -s idle "sleep 3600"
