#!/usr/bin/env bash
# Run as root: builds the core and command-line tests as the unprivileged
# user "nobody" and runs them, since refused permissions are real only for an
# ordinary user. The settings need the window's Qt: its build runs them as
# "nobody" (tests/gui/settings).
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "run-user-tests.sh: already an ordinary user, nothing to do"; exit 0; }

work="$(mktemp -d /tmp/grize-user-XXXXXX)"
trap 'rm -rf "$work"' EXIT
git ls-files -co --exclude-standard -z | grep -zv '^docs/' | xargs -0 cp --parents -t "$work" 2>/dev/null || true
mkdir -p "$work/home" "$work/config" "$work/runtime"
chown -R nobody:nogroup "$work"
chmod 755 "$work"
chmod 700 "$work/runtime"

as_nobody() {
    setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env -i PATH="$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
        XDG_RUNTIME_DIR="$work/runtime" TMPDIR="$work" LANG=C.UTF-8 "$@"
}
cd "$work"
as_nobody cmake --preset core >/dev/null
as_nobody cmake --build --preset core
as_nobody ctest --preset core
