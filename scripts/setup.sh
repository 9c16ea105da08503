#!/usr/bin/env bash
# Installs, if missing, the Debian 12 packages that one purpose needs:
#   run      build the window and open it (./run.sh)
#   package  build the Debian package (scripts/package.sh)
#   windows  cross-build for Windows and test under Wine
#   test     everything ./test.sh runs (the default)
# --dry-run lists the chosen packages, installed or missing, and installs
# nothing.
#   scripts/setup.sh [run|package|windows|test] [--dry-run]
set -euo pipefail

purpose="test"
dry_run=""
for arg in "$@"; do
    case "$arg" in
        run | package | windows | test) purpose="$arg" ;;
        --dry-run) dry_run=yes ;;
        *)
            echo "usage: scripts/setup.sh [run|package|windows|test] [--dry-run]" >&2
            exit 2
            ;;
    esac
done

# Building and opening the window.
run=(
    build-essential cmake ninja-build pkg-config libhwy-dev libsodium-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev libfontconfig-dev fonts-liberation
)
# The Linux build with its tests and benchmarks; zlib unpacks age test vectors,
# the age tool judges our age files.
tests=(libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev age)
# cpack -G DEB: dpkg-shlibdeps, and file to find the programs in it.
package=(dpkg-dev file)
# The window tests on an X server of their own, and the screenshots.
desktop=(xvfb xdotool x11-utils imagemagick openbox locales)
# The Windows cross-build, its installer and Wine to run them in.
windows=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine nsis)
# Formatting and fuzzing.
tools=(clang-format clang libclang-rt-14-dev llvm-14)
# Checking the installed package through a real file manager, and the
# exFAT tests.
checks=(
    lintian appstream desktop-file-utils shared-mime-info xdg-utils
    libfile-mimeinfo-perl man-db pcmanfm-qt dbus-daemon exfat-fuse exfatprogs
)

case "$purpose" in
    run) packages=("${run[@]}") ;;
    package) packages=("${run[@]}" "${package[@]}") ;;
    windows) packages=("${run[@]}" "${tests[@]}" "${desktop[@]}" "${windows[@]}") ;;
    test)
        packages=("${run[@]}" "${tests[@]}" "${package[@]}" "${desktop[@]}" "${windows[@]}"
            "${tools[@]}" "${checks[@]}")
        ;;
esac

missing=()
for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        state=installed
    else
        state=missing
        missing+=("$p")
    fi
    [ -z "$dry_run" ] || printf '%s %s\n' "$p" "$state"
done
if [ -n "$dry_run" ]; then
    echo "would install: ${missing[*]:-nothing}" >&2
    exit 0
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
