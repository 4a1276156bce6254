#!/usr/bin/env bash
# xterm.js in Chromium: the bridge with the command on its pseudo-terminal, then the page in an
# application window of its own (no tabs, no address bar).
#
#   start.sh WORK_DIR command [argument...]
#
# The bridge ends with the command; the browser is ended with it.
set -u
dir=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
/usr/bin/python3 "$here/bridge.py" "$dir/xtermjs.port" "$dir/screen.txt" -- "$@" &
bridge=$!
echo "$bridge" >"$dir/bridge.pid"
for _ in $(seq 3000); do
    [[ -s $dir/xtermjs.port ]] && break
    kill -0 "$bridge" 2>/dev/null || exit 1
    sleep 0.01
done
# As root Chromium runs only without its sandbox. Its own GPU process is left out: there is no GPU.
chromium --no-sandbox --user-data-dir="$dir/chromium" --no-first-run --no-default-browser-check \
    --disable-gpu --password-store=basic --disable-features=Translate --class=xtermjs \
    --window-size=800,600 --app="http://127.0.0.1:$(cat "$dir/xtermjs.port")/" &
browser=$!
wait "$bridge"
kill "$browser" 2>/dev/null
wait "$browser"
