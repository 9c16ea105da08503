#!/usr/bin/env bash
# Drives the real grize binary in an X server of its own with real key
# presses: encrypt a file, decrypt it after a wrong password, and refuse a
# second instance.
#   xvfb_session_test.sh GRIZE CLIPBOARD_PROBE
set -euo pipefail
grize="$1"
probe="$2"
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

scratch="$(mktemp -d)"
pids=()
cleanup() {
    # Programs first, the X server last.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$scratch"
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

# Xvfb picks a free display and writes its number to fd 3.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$scratch/display" 2>"$scratch/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    sleep 0.1
done
[ -s "$scratch/display" ] || fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"
export DISPLAY=":$(head -n1 "$scratch/display")"

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

wait_until() {
    local what="$1"
    shift
    for _ in $(seq 150); do
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

# The text of the message box with this title, copied with Ctrl+C.
box_text() {
    local id
    id="$(wait_window "$1")"
    focus "$id"
    xdotool key ctrl+c
    sleep 0.2
    "$probe"
}

files="$scratch/files"
printf 'first line\r\nsecond line, no end \001\377' >"$files/notes.txt"
cp "$files/notes.txt" "$scratch/original"

echo "== encrypt: password twice, Enter"
"$grize" "$files/notes.txt" &
pid=$!
pids+=("$pid")
main="$(wait_window '^Grize / notes\.txt$')"
focus "$main"
xdotool type --delay 30 's3cret'
xdotool key Tab
xdotool type --delay 30 's3cret'
xdotool key Return
wait_until "notes.gri" test -s "$files/notes.gri"
wait_until "notes.txt to go" test ! -e "$files/notes.txt"
head -c 8 "$files/notes.gri" | grep -q '^\[Grized\]$' || fail "no marker in notes.gri"
# The focus is on "&Done"; Enter presses it and the program ends.
focus "$main"
xdotool key Return
wait_until "grize to end after Done" exited "$pid"
wait "$pid" || fail "grize ended with status $?"

echo "== decrypt: a wrong password, then the right one"
"$grize" "$files/notes.gri" &
pid=$!
pids+=("$pid")
main="$(wait_window '^Grize / notes\.gri$')"
focus "$main"
xdotool type --delay 30 'wrong'
xdotool key Return
text="$(box_text '^Grize$')"
grep -qx 'Access denied: password is incorrect!' <<<"$text" || fail "wrong-password box said: $text"
xdotool key Return
wait_until "the box to close" sh -c "! xdotool search --onlyvisible --name '^Grize$' >/dev/null 2>&1"
[ -e "$files/notes.gri" ] || fail "notes.gri went on a wrong password"
focus "$main"
# The wrong attempt is selected: typing replaces it.
xdotool type --delay 30 's3cret'
xdotool key Return
wait_until "notes.txt" test -e "$files/notes.txt"
wait_until "notes.gri to go" test ! -e "$files/notes.gri"
cmp "$files/notes.txt" "$scratch/original" || fail "decrypted bytes differ"
focus "$main"
xdotool key Escape
wait_until "grize to end after Esc" exited "$pid"
wait "$pid" || fail "grize ended with status $?"

echo "== a second instance is refused"
"$grize" "$files/notes.txt" &
first=$!
pids+=("$first")
main="$(wait_window '^Grize / notes\.txt$')"
"$grize" "$files/notes.txt" &
second=$!
pids+=("$second")
text="$(box_text '^Info$')"
grep -qx 'Info' <<<"$text" && grep -qx 'Grize is already running\.\.\.' <<<"$text" ||
    fail "second instance's box said: $text"
xdotool key Return
wait_until "the second instance to end" exited "$second"
wait "$second" || fail "second instance ended with status $?"
kill -0 "$first" 2>/dev/null || fail "the first instance ended too"
xdotool search --onlyvisible --name '^Grize / notes\.txt$' >/dev/null || fail "first window gone"
focus "$main"
xdotool key Escape
wait_until "the first instance to end" exited "$first"
[ -e "$files/notes.txt" ] || fail "notes.txt went away"

echo "PASS"
