#!/usr/bin/env bash
# Runs a test command as the unprivileged user "nobody", since a folder
# without write permission refuses only ordinary users. Skips (77) unless
# started as root with setpriv at hand.
set -euo pipefail
[ "$(id -u)" -eq 0 ] || { echo "not root: the ordinary run covers this"; exit 77; }
command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 || { echo "no setpriv or nobody"; exit 77; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
chown nobody "$scratch"
chmod 700 "$scratch"
# The test binary must be reachable by nobody.
setpriv --reuid=nobody --regid=nogroup --clear-groups test -x "$1" || {
    echo "test binary not reachable as nobody"
    exit 77
}
exec setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH="$PATH" HOME="$scratch" XDG_RUNTIME_DIR="$scratch" TMPDIR="$scratch" \
    LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen "$@"
