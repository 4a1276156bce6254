#!/usr/bin/env bash
# CI: the game in real terminal emulators (xterm, st, rxvt-unicode, xfce4-terminal's VTE, and
# screen and tmux inside xterm) on a virtual X display, driven by real key presses.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing --no-install-recommends cmake g++ faketime xvfb xdotool xterm stterm rxvt-unicode \
  xfce4-terminal dbus-daemon screen tmux bsdutils procps

# A build of its own without the tests, which would want GoogleTest.
cmake -B build-terminals -DBUILD_TESTING=OFF -DSMINATORE_WERROR=ON
cmake --build build-terminals -j2 --target sminatore

tests/real_terminals/play_in_terminals.sh build-terminals/sminatore
