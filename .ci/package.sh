#!/usr/bin/env bash
# CI for the Debian package: lint the manual page, build the .deb, build it again elsewhere and
# compare the bytes, run lintian on it, install it as a player would, read its manual page, and
# play one scripted game with the installed program. The package is removed again at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing cmake g++ libgtest-dev faketime dpkg-dev file man-db mandoc lintian

# As Debian's builders do, the package's times are those of the last commit, so that the same
# commit gives the same package.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
maintainer="Sminatore CI <ci@example.org>"

# Fails, showing them, if the command printed anything at all: a lint's silence is its pass.
silent() {
  local said
  said=$("$@" 2>&1) || { printf '%s\n' "$said"; return 1; }
  if [ -n "$said" ]; then
    printf '%s: %s\n%s\n' "$0" "not silent: $*" "$said"
    return 1
  fi
}

# Debian's build flags with every hardening feature, as dpkg-buildpackage gives them to a package:
# the stack protector, fortified calls and RELRO with BIND_NOW. They are taken in the folder of the
# sources, which their -ffile-prefix-map names. CMake reads no CPPFLAGS, so they go before the
# C++ flags, as debhelper puts them.
build_flags() {
  (cd "$1" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$2")
}

# Builds the package of the sources in folder $1, in their folder build-package; more options for
# cmake may follow. As on Debian's builders, the build folder has one name within the sources
# wherever they are: the debugging data name it, and the program's build ID sums them.
# Debian keeps games in /usr/games, which is on every normal user's PATH.
build_package() {
  local sources=$1 build=$1/build-package
  shift
  cmake -S "$sources" -B "$build" -DSMINATORE_WERROR=ON -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS="$(build_flags "$sources" CPPFLAGS) $(build_flags "$sources" CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(build_flags "$sources" LDFLAGS)" \
    -DSMINATORE_INSTALL_BINDIR=games -DSMINATORE_MAINTAINER="$maintainer" "$@"
  cmake --build "$build" -j2
  rm -f "$build"/sminatore_*.deb
  # CPack takes the modes of the .deb's members from its umask: Debian's builders use 0022.
  (cd "$build" && umask 0022 && cpack -G DEB)
}

build_package .
deb=$(ls build-package/sminatore_*.deb)
# The packaged program is built with those flags, and so are the tests: every one must pass.
ctest --test-dir build-package --output-on-failure -j2
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

silent mandoc -T lint build-package/man/sminatore.6
silent groff -ww -z -man build-package/man/sminatore.6

# The same sources again, later, in another folder at another depth, copied under another umask
# (as another clone may be) and built under that umask: the package must be the same bytes.
again="build-package-again/elsewhere/sminatore"
rm -rf build-package-again
mkdir -p "$again"
(
  umask 0002
  git ls-files -z | tar --null -T - -cf - | tar -xf - --no-same-permissions -C "$again"
  build_package "$again" -DBUILD_TESTING=OFF
)
deb_again=$(ls "$again"/build-package/sminatore_*.deb)
if ! cmp "$deb" "$deb_again"; then
  echo "$0: two builds of the same sources give different packages" >&2
  diff <(ar tv "$deb") <(ar tv "$deb_again") >&2 || true
  diff <(dpkg-deb --info "$deb") <(dpkg-deb --info "$deb_again") >&2 || true
  diff <(dpkg-deb --contents "$deb") <(dpkg-deb --contents "$deb_again") >&2 || true
  mkdir -p build-package-again/one build-package-again/two
  dpkg-deb -x "$deb" build-package-again/one
  dpkg-deb -x "$deb_again" build-package-again/two
  diff -r build-package-again/one build-package-again/two >&2 || true
  exit 1
fi
echo "$0: two builds give the same package, $(stat -c %s "$deb") bytes, sha256 $(sha256sum < "$deb" | cut -d' ' -f1)"

# Debian's own judge: no error and no warning (what it only notes is shown, not failed), and none
# of its notes that the program is less hardened or less stripped than Debian's own are.
judged=$(lintian --allow-root --display-info --fail-on error,warning "$deb") ||
  { printf '%s\n' "$judged"; exit 1; }
[ -z "$judged" ] || printf '%s\n' "$judged"
if grep -E '^.: sminatore: (hardening-[a-z-]+|binary-has-unneeded-section) ' <<<"$judged"; then
  echo "$0: the program is not built or stripped as Debian's own are" >&2
  exit 1
fi

# Another apt-get holding the lock (as unattended-upgrades does) is waited for, up to ten minutes.
apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}
if dpkg-query -W sminatore >/dev/null 2>&1; then
  apt_get purge -y sminatore
fi
trap 'apt_get purge -y sminatore >/dev/null' EXIT
(cd build-package && apt_get install -y "./$(basename "$deb")")

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
