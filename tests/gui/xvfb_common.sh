# Shared by the X server tests: a scratch HOME and XDG folders, an Xvfb of
# its own on a free display (scripts/xvfb.sh), and waits with timeouts.
# Source it after the tool checks; it sets $scratch and $DISPLAY and kills
# what was started (in $pids), then the X server, on exit.

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb.sh"
scratch="$(mktemp -d)"
pids=()
cleanup() {
    # Programs first, the X server last.
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        # A program that writes its settings as it ends would race the removal.
        for _ in $(seq 50); do
            kill -0 "${pids[i]}" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "${pids[i]}" 2>/dev/null || true
    done
    xvfb_stop
    rm -rf "$scratch" 2>/dev/null || { sleep 1; rm -rf "$scratch"; }
}
trap cleanup EXIT

mkdir -p "$scratch/home" "$scratch/config" "$scratch/runtime" "$scratch/files"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
unset WAYLAND_DISPLAY SESSION_MANAGER

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! xvfb_start "$scratch"; then
    if [ -n "${GRIZE_XVFB_DISPLAYS:-}" ]; then
        fail "no free display in $GRIZE_XVFB_DISPLAYS: $(cat "$scratch/xvfb.log")"
    fi
    fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"
fi

# Prints the id of the visible window whose title matches the regex.
wait_window() {
    local regex="$1" id
    for _ in $(seq 150); do
        id="$(xdotool search --onlyvisible --name "$regex" 2>/dev/null | head -n1)" || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    fail "no window titled /$regex/"
}

# Waits up to $wait_tenths tenths of a second (15 s unless set).
wait_until() {
    local what="$1"
    shift
    for _ in $(seq "${wait_tenths:-150}"); do
        if "$@"; then
            return 0
        fi
        sleep 0.1
    done
    fail "timed out waiting for $what"
}

exited() { ! kill -0 "$1" 2>/dev/null; }

# Real key presses (XTEST) go to the window with the input focus.
focus() {
    xdotool windowfocus --sync "$1"
    sleep 0.2
}

