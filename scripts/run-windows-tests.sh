#!/usr/bin/env bash
# Cross-builds grize-cli.exe and the Windows tests with MinGW-w64 into
# build-windows/, runs the tests under Wine in a Wine prefix of its own, then
# the cross check against the Linux grize-cli in build/.
#   scripts/run-windows-tests.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset windows >/dev/null
cmake --build --preset windows
export WINEPREFIX="$PWD/build-windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Made once, before any test starts Wine; wineserver -w waits until it is written.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
fi
ctest --preset windows
scripts/cross-check-windows.sh
# The window and the installer, when the Qt for MinGW is there.
scripts/run-windows-app-tests.sh
