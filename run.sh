#!/usr/bin/env bash
# Sets everything up, builds, and opens Grize on the file given.
#   ./run.sh notes.txt
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh"
"$here/scripts/build.sh"
if [ -x "$here/build/src/app/grize" ]; then
    exec "$here/build/src/app/grize" "$@"
fi
exec "$here/build/src/cli/grize-cli" encrypt "$@"
