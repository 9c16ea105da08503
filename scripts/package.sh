#!/usr/bin/env bash
# Builds the Debian package, grize_VERSION_ARCH.deb, into this folder.
#   scripts/package.sh && sudo apt install ./grize_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
cmake --preset release >/dev/null
cmake --build --preset release
rm -f build-release/grize_*.deb
(cd build-release && cpack -G DEB)
cp build-release/grize_*.deb .
