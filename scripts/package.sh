#!/usr/bin/env bash
# Builds the Debian package, grize_VERSION_ARCH.deb, into this folder.
#   scripts/package.sh && sudo apt install ./grize_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DGRIZE_BUILD_TESTS=OFF -DGRIZE_BUILD_BENCH=OFF >/dev/null
cmake --build build-release
rm -f build-release/grize_*.deb
(cd build-release && cpack -G DEB)
cp build-release/grize_*.deb .
