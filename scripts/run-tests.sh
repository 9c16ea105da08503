#!/usr/bin/env bash
# Runs the test suite of a build folder with HOME and XDG folders of its own.
set -euo pipefail
build="${1:-build}"
cd "$(dirname "$0")/.."
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/data" "$scratch/cache" "$scratch/runtime"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime"
# Sanitizer builds: ignore leaks inside system libraries.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# A build folder of a preset runs with that preset's test settings.
case "$build" in
    build) ctest --preset default ;;
    build-asan) ctest --preset asan ;;
    *) ctest --test-dir "$build" --output-on-failure -j2 ;;
esac
