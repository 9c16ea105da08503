#!/usr/bin/env bash
# Installs what building and testing Grize needs on Debian 12, if missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    libgtest-dev libgmock-dev libbenchmark-dev libhwy-dev
    qt6-base-dev libgl-dev fonts-liberation
    xvfb xdotool x11-utils imagemagick openbox locales
    clang libclang-rt-14-dev llvm-14
    dpkg-dev lintian appstream desktop-file-utils shared-mime-info xdg-utils
    libfile-mimeinfo-perl man-db pcmanfm-qt dbus-daemon exfat-fuse exfatprogs
    g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine qt6-base-dev-tools nsis
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
