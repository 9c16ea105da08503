#!/usr/bin/env bash
# Sets everything up, builds, checks formatting and runs every test.
#   ./test.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here"
scripts/setup.sh
scripts/check-format.sh
# Warnings are errors here, not for people building the project.
scripts/build.sh default -DGRIZE_WERROR=ON
scripts/run-tests.sh build
# As root, run the file tests once more as an ordinary user.
scripts/run-user-tests.sh
# The whole suite once more under AddressSanitizer + UndefinedBehaviorSanitizer.
scripts/build.sh asan -DGRIZE_WERROR=ON
scripts/run-tests.sh build-asan
# Each fuzzer for a bounded time (FUZZ_SECONDS, 30 by default).
scripts/run-fuzz.sh
# grize-cli.exe and the Windows tests, cross-built and run under Wine, and
# files passed between the Linux and the Windows grize-cli.
scripts/run-windows-tests.sh
