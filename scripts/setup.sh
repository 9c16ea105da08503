#!/usr/bin/env bash
# Installs, if missing, the Debian 12 packages that one purpose needs:
#   run      build the window and open it (./run.sh)
#   package  build the Debian package (scripts/package.sh)
#   windows  cross-build for Windows and test under Wine
#   test     everything ./test.sh runs (the default)
# windows and test also build a static libsodium for MinGW into
# deps/mingw-libsodium (the Windows presets' SODIUM_ROOT).
# --dry-run lists the chosen packages, installed or missing, says whether
# that libsodium would be built, and installs and builds nothing.
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
windows=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64 fonts-wine nsis)
# Building libsodium for MinGW from Debian's source package.
sodium_tools=(autoconf automake libtool)
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
    windows) packages=("${run[@]}" "${tests[@]}" "${desktop[@]}" "${windows[@]}" "${sodium_tools[@]}") ;;
    test)
        packages=("${run[@]}" "${tests[@]}" "${package[@]}" "${desktop[@]}" "${windows[@]}"
            "${sodium_tools[@]}" "${tools[@]}" "${checks[@]}")
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
elif [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
case "$purpose" in windows | test) ;; *) exit 0 ;; esac

# libsodium for the MinGW builds: Debian 12's own source package (what the
# Linux build's libsodium-dev is built from), built static with the compiler
# of cmake/mingw-w64-x86_64.cmake. The stamp holds the Debian version built.
root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="$root/deps/mingw-libsodium"
stamp="$prefix/debian-version"
built="$(cat "$stamp" 2>/dev/null || true)"
# What the machine's package lists offer, known without the network.
wanted="$(apt-cache policy libsodium-dev 2>/dev/null | awk '$1 == "Candidate:" && $2 != "(none)" { print $2 }')"
if [ -n "$built" ] && { [ -z "$wanted" ] || [ "$built" = "$wanted" ]; }; then
    [ -z "$dry_run" ] || echo "libsodium for MinGW: $built, built in deps/mingw-libsodium" >&2
    exit 0
fi
if [ -n "$dry_run" ]; then
    echo "would build: libsodium ${wanted:-from Debian 12} for MinGW into deps/mingw-libsodium" >&2
    exit 0
fi

start=$SECONDS
work="$root/deps/mingw-libsodium-src"
rm -rf "$work"
mkdir -p "$work/lists/partial" "$work/sources"
# apt downloads as its own unprivileged user where that user may write.
[ "$(id -u)" -ne 0 ] || chown _apt "$work" 2>/dev/null || true
# The source entry for the machine's Debian 12 archive in a private list
# folder: the machine's own apt setup stays untouched. apt checks each file
# against the archive's signed index, as for any package.
# shellcheck disable=SC2016 # apt's format field, not the shell's
uri="$(apt-get indextargets --format '$(REPO_URI)' 'Created-By: Packages' 'Origin: Debian' 'Codename: bookworm' |
    head -n1)"
printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: %s\n' \
    "${uri:-http://deb.debian.org/debian/}" /usr/share/keyrings/debian-archive-keyring.gpg \
    >"$work/sources/debian-src.sources"
apt=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources"
    -o "Dir::State::Lists=$work/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
apt-get "${apt[@]}" update -qq
version="$(apt-cache "${apt[@]}" showsrc --only-source libsodium |
    awk '$1 == "Version:" { print $2; exit }')"
[ -n "$version" ] || { echo "setup.sh: no libsodium source in Debian 12's archive" >&2; exit 1; }
if [ "$version" = "$built" ]; then
    rm -rf "$work"
    exit 0
fi
echo "Building libsodium $version for MinGW into deps/mingw-libsodium"
# apt-get source unpacks with Debian's patches applied.
(cd "$work" && apt-get "${apt[@]}" source -qq "libsodium=$version" >/dev/null)
cc="$(sed -n 's/^set(CMAKE_C_COMPILER \(.*\))$/\1/p' "$root/cmake/mingw-w64-x86_64.cmake")"
# Not --enable-minimal: that drops the scrypt functions the core uses.
# The steps chained with &&: errexit does not hold in a list tested with ||.
(
    cd "$work"/libsodium-*/ &&
        autoreconf -fi &&
        ./configure --host=x86_64-w64-mingw32 "CC=$cc" --disable-shared --enable-static \
            --prefix="$prefix" &&
        make -j"$(nproc)" &&
        rm -rf "$prefix" &&
        make install
) >"$work/build.log" 2>&1 || {
    echo "setup.sh: building libsodium failed; its log: $work/build.log" >&2
    exit 1
}
echo "$version" >"$stamp"
rm -rf "$work"
echo "libsodium $version for MinGW built in $((SECONDS - start)) s"
