#!/usr/bin/env bash
# CI for the Windows program: cross-build it with mingw-w64, warnings as errors, play it under
# Wine against the POSIX program, and put key events into Wine's console for its key reading.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-missing --no-install-recommends cmake g++ g++-mingw-w64-x86-64 wine wine64 tmux faketime strace

cmake -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DSMINATORE_WERROR=ON
cmake --build build-windows -j2

# The POSIX program that the Windows one's output is compared with, in a build of its own that
# needs no GoogleTest, so that this script runs on a machine where nothing else was set up.
cmake -B build-wine-posix -DBUILD_TESTING=OFF -DSMINATORE_WERROR=ON
cmake --build build-wine-posix -j2 --target sminatore

tests/windows/play_under_wine.sh build-windows/sminatore.exe build-wine-posix/sminatore
tests/windows/in_console.sh build-windows/tests/windows/console_keys.exe
tests/windows/in_console.sh build-windows/tests/windows/console_modes.exe "Z:$(realpath build-windows/sminatore.exe)"
