#!/usr/bin/env bash
# Configures and builds into build/ (or the preset named as $1).
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
