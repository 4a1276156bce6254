#!/usr/bin/env bash
# CI: the game in real terminal emulators on virtual X displays, driven by real key presses:
# xterm, st, rxvt-unicode, xfce4-terminal's VTE, screen and tmux inside xterm, kitty, konsole,
# qterminal, PuTTY's pterm, and xterm.js in Chromium. The terminals play in groups side by side,
# each group on an X display of its own, so that keys go only to the window they are meant for.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing --no-install-recommends cmake g++ faketime xvfb x11-xserver-utils xdotool xterm stterm rxvt-unicode \
  xfce4-terminal dbus-daemon screen tmux bsdutils procps kitty libgl1-mesa-dri konsole qterminal \
  pterm chromium python3 python3-websockets node-xterm

# A build of its own without the tests, which would want GoogleTest.
cmake -B build-terminals -DBUILD_TESTING=OFF -DSMINATORE_WERROR=ON
cmake --build build-terminals -j2 --target sminatore

# Groups of about the same length under load; kitty (software OpenGL) and Chromium, the heaviest,
# with the fewest others.
groups=(
  "xterm st urxvt screen"
  "xfce4-terminal tmux konsole pterm"
  "qterminal xtermjs kitty"
)
outputs=$(mktemp -d)
trap 'rm -rf "$outputs"' EXIT
pids=()
for index in "${!groups[@]}"; do
  # shellcheck disable=SC2086 # a group is a list of names
  tests/real_terminals/play_in_terminals.sh build-terminals/sminatore ${groups[$index]} \
    >"$outputs/$index" 2>&1 &
  pids+=($!)
done
status=0
for index in "${!groups[@]}"; do
  wait "${pids[$index]}" || status=1
  cat "$outputs/$index"
done
exit "$status"
