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

source "$(dirname "$0")/xvfb_common.sh"

# The text of the message box with this title, copied with Ctrl+C.
box_text() {
    local id
    id="$(wait_window "$1")"
    focus "$id"
    xdotool key ctrl+c
    sleep 0.2
    "$probe"
}

# The centre of window $1 lies inside window $2: a box over its window.
centred_over() {
    local geometry
    geometry() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4}
        /Absolute upper-left Y/ {y = $4} /Width:/ {w = $2} /Height:/ {h = $2}
        END {print x, y, w, h}'; }
    read -r bx by bw bh < <(geometry "$1")
    read -r wx wy ww wh < <(geometry "$2")
    local cx=$((bx + bw / 2)) cy=$((by + bh / 2))
    [ "$cx" -ge "$wx" ] && [ "$cx" -lt $((wx + ww)) ] && [ "$cy" -ge "$wy" ] && [ "$cy" -lt $((wy + wh)) ]
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
centred_over "$(wait_window '^Grize$')" "$main" || fail "the wrong-password box is not over the window"
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
