#!/usr/bin/env bash
# Configures and builds into build/ (or the preset named as $1); further
# arguments go to the configure step.
#   scripts/build.sh [PRESET] [-DNAME=VALUE...]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
cmake --preset "$preset" "${@:2}" >/dev/null
cmake --build --preset "$preset"
