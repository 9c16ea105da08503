#!/usr/bin/env bash
# The window for Windows: cross-builds grize.exe, grize-cli.exe, the window
# tests and the installer against the static Qt for MinGW into
# build-windows-app/, then runs under Wine on an X server of its own the
# window tests, a session driven by key presses (checked against the Linux
# grize-cli in build/) and the installer. Without that Qt it says so and
# stops, successfully: Linux builds do not need it.
#   scripts/run-windows-app-tests.sh     (GRIZE_QT_MINGW: Qt's folder,
#                                         ../shared/qt6-mingw by default)
set -euo pipefail
cd "$(dirname "$0")/.."
qt="${GRIZE_QT_MINGW:-$PWD/../shared/qt6-mingw}"
toolchain="$qt/lib/cmake/Qt6/qt.toolchain.cmake"
if [ ! -f "$toolchain" ]; then
    echo "skipped: the Windows window and installer (Qt for MinGW missing: $qt)"
    exit 0
fi
linux_cli="$PWD/build/src/cli/grize-cli"
[ -x "$linux_cli" ] || { echo "run-windows-app-tests.sh: $linux_cli is missing" >&2; exit 1; }

cmake --preset windows-app -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build --preset windows-app
(cd build-windows-app && cpack -G NSIS >/dev/null)
ls -l build-windows-app/src/gui/grize.exe build-windows-app/grize-setup.exe

# The window tests on the Windows platform plugin, on an X server and in a
# Wine prefix of their own.
(
    source tests/gui/wine_common.sh
    ctest --preset windows-app
)
tests/gui/wine_session_test.sh build-windows-app/src/gui/grize.exe "$linux_cli"
tests/gui/wine_installer_test.sh build-windows-app/grize-setup.exe
