#!/usr/bin/env bash
# Runs a test program on a console under Wine (in a detached tmux session, with a fresh Wine
# prefix), shows what it printed, and fails when it does. Its arguments are passed on as they are.
#
#   in_console.sh path/to/program.exe [argument...]
set -euo pipefail

exe=$(realpath "$1")
shift
name=$(basename "$exe")
source "$(dirname "$0")/wine_prefix.sh"

tmux -S "$socket" new-session -d -s test -x 80 -y 24 \
    "wine '$exe' ${*@Q} >'$work/test.out' 2>&1; echo \$? >'$work/status'"
deadline=$((SECONDS + 180))
while [[ ! -s $work/status ]] && ((SECONDS < deadline)); do
    sleep 0.2
done
tr -d '\r' <"$work/test.out" 2>/dev/null || true
[[ -s $work/status ]] || fail "$name did not end within 180 s"
status=$(cat "$work/status")
[[ $status == 0 ]] || fail "$name ended with status $status"
echo "ok: $name ($((SECONDS - started)) s)"
