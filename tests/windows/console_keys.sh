#!/usr/bin/env bash
# Runs console_keys.exe on a console under Wine (in a detached tmux session, with a fresh Wine
# prefix), shows what it printed, and fails when it does.
#
#   console_keys.sh path/to/console_keys.exe
set -euo pipefail

exe=$(realpath "$1")
source "$(dirname "$0")/wine_prefix.sh"

tmux -S "$socket" new-session -d -s keys -x 80 -y 24 "wine '$exe' >'$work/keys.out' 2>&1; echo \$? >'$work/status'"
deadline=$((SECONDS + 120))
while [[ ! -s $work/status ]] && ((SECONDS < deadline)); do
    sleep 0.2
done
tr -d '\r' <"$work/keys.out" 2>/dev/null || true
[[ -s $work/status ]] || fail "console_keys.exe did not end within 120 s"
status=$(cat "$work/status")
[[ $status == 0 ]] || fail "console_keys.exe ended with status $status"
echo "ok: key events through the console's read loop ($((SECONDS - started)) s)"
