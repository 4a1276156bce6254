#!/usr/bin/env bash
# CI: the game in real terminal emulators (xterm, st, rxvt-unicode, xfce4-terminal's VTE, and
# screen and tmux inside xterm) on a virtual X display, driven by real key presses.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing --no-install-recommends cmake g++ faketime xvfb xdotool xterm stterm rxvt-unicode \
  xfce4-terminal dbus-daemon screen tmux bsdutils procps

cmake -B build -DSMINATORE_WERROR=ON
cmake --build build -j2 --target sminatore

tests/real_terminals/play_in_terminals.sh build/sminatore
