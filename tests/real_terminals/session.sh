#!/usr/bin/env bash
# What each terminal runs: the interactive shell (shell.rc) under `script`, which logs what the
# game writes; then, if the driver asks for it (the file "bare" in WORK), the same shell alone on
# the terminal, as a player has it, so that closing the window hangs up the game's own terminal
# and not one that `script` keeps.
here=$(cd "$(dirname "$0")" && pwd)
script -q -f -O "$WORK/log" -c "bash --noprofile --rcfile '$here/shell.rc' -i"
[[ -e $WORK/bare ]] && exec bash --noprofile --rcfile "$here/shell.rc" -i
