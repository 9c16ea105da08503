#!/usr/bin/env bash
# Installs what the window needs, builds it and opens Grize on the file given,
# or, with none, on a sample file it makes in a scratch folder.
# It only opens the window: nothing is encrypted until you type a password.
#   ./run.sh [notes.txt]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
die() {
    echo "run.sh: $*" >&2
    exit 1
}

# Before minutes of installing and building, not after.
if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    die "no desktop to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)"
fi
"$here/scripts/setup.sh" run || die "could not install what the window needs (scripts/setup.sh run)"
# The same tree as scripts/package.sh: the programs alone, no tests.
build="$here/build-release"
# Presets are read from the current folder; the file given stays relative to
# where run.sh was started.
(cd "$here" && cmake --preset release >/dev/null) ||
    die "the window could not be configured (see the messages above)"
(cd "$here" && cmake --build --preset release) ||
    die "the window could not be built (see the messages above)"
[ -x "$build/src/gui/grize" ] || die "$build/src/gui/grize is missing after the build"
# The file is taken from where run.sh was started.
if [ "$#" -eq 0 ]; then
    sample="$(mktemp -d "${TMPDIR:-/tmp}/grize-sample-XXXXXX")" ||
        die "could not make a scratch folder for the sample file"
    printf 'A sample file to try Grize on.\nEncrypt it, then open the .gri file to decrypt it again.\n' \
        >"$sample/notes.txt"
    echo "run.sh: opening Grize on a sample file, $sample/notes.txt"
    set -- "$sample/notes.txt"
fi
exec "$build/src/gui/grize" "$@"
