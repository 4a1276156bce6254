#!/usr/bin/env bash
# CI for the Debian package: lint the manual page, build the .deb, install it as a player would,
# read its manual page, and play one scripted game with the installed program. The package is
# removed again at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing cmake g++ libgtest-dev faketime dpkg-dev file man-db mandoc

# Fails, showing them, if the command printed anything at all: a lint's silence is its pass.
silent() {
  local said
  said=$("$@" 2>&1) || { printf '%s\n' "$said"; return 1; }
  if [ -n "$said" ]; then
    printf '%s: %s\n%s\n' "$0" "not silent: $*" "$said"
    return 1
  fi
}

# Debian keeps games in /usr/games, which is on every normal user's PATH.
cmake -B build-package -DSMINATORE_WERROR=ON -DCMAKE_BUILD_TYPE=Release -DSMINATORE_INSTALL_BINDIR=games
cmake --build build-package -j2

silent mandoc -T lint build-package/man/sminatore.6
silent groff -ww -z -man build-package/man/sminatore.6

rm -f build-package/sminatore_*.deb
(cd build-package && cpack -G DEB)
deb=$(ls build-package/sminatore_*.deb)
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

if dpkg-query -W sminatore >/dev/null 2>&1; then
  DEBIAN_FRONTEND=noninteractive apt-get purge -y sminatore
fi
trap 'DEBIAN_FRONTEND=noninteractive apt-get purge -y sminatore >/dev/null' EXIT
(cd build-package && DEBIAN_FRONTEND=noninteractive apt-get install -y "./$(basename "$deb")")

# A normal user finds the game by name; root's PATH has no /usr/games, so from here on the
# program is named by its full path.
found=$(su -l nobody -s /bin/sh -c 'command -v sminatore' 2>/dev/null)
if [ "$found" != /usr/games/sminatore ]; then
  echo "$0: a normal user finds '${found}', not /usr/games/sminatore" >&2
  exit 1
fi

page=$(man -w 6 sminatore)
echo "manual page: $page"
silent mandoc -T lint "$page"
warnings=$(MANWIDTH=80 MANPAGER=cat man --warnings 6 sminatore 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s: man warns:\n%s\n' "$0" "$warnings" >&2
  exit 1
fi
# The page and the package carry the same version, the one project() sets.
version=$(dpkg-query -W -f='${Version}' sminatore)
MANWIDTH=80 MANPAGER=cat man 6 sminatore | grep -q "sminatore $version" ||
  { echo "$0: the manual page does not show version $version" >&2; exit 1; }

SMINATORE_TEST_BINARY=/usr/games/sminatore \
  build-package/tests/game_test --gtest_filter='Game.LostOnTheFirstMove:NoTerminal.*'
