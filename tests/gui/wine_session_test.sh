#!/usr/bin/env bash
# grize.exe under Wine on an X server of its own, as a person meets it:
# encrypt by typing, a second start refused, move the window, tick "Auto
# quit window", close, start again in the same place with the box ticked
# (stored in the registry), decrypt and close by itself. The Linux grize-cli
# decrypts the window's output byte for byte.
#   wine_session_test.sh GRIZE_EXE LINUX_GRIZE_CLI
set -euo pipefail
exe="$(realpath "$1")"
cli="$(realpath "$2")"
source "$(dirname "$0")/wine_common.sh"

key='HKCU\Software\Ashgrove\Grize'
# A string value (REG_SZ), as every version of the window has written it.
stored() {
    wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v n="$1" '$1 == n && $2 == "REG_SZ" {print $3}'
}
position() { xdotool getwindowgeometry "$1" | awk '/Position/ {print $2}'; }

cd "$scratch/files"
printf 'first line\r\nsecond line \xe9\xff\x00\x01\n' >original
cp original notes.txt

wine "$exe" notes.txt 2>"$scratch/first.log" &
first=$!
pids+=("$first")
main="$(wait_window '^Grize / notes\.txt$')"
focus "$main"
xdotool type --delay 20 'pass word'
xdotool key Tab
xdotool type --delay 20 'pass word'
xdotool key Return
wait_until "notes.gri" test -s notes.gri -a ! -e notes.txt

mkdir "$scratch/check"
cp notes.gri "$scratch/check/"
echo 'pass word' | "$cli" decrypt --password-stdin "$scratch/check/notes.gri" 2>/dev/null
cmp original "$scratch/check/notes.txt" || fail "the Linux grize-cli read other bytes"

# One instance at a time: the second says so and ends, the first stays.
wine "$exe" notes.gri 2>/dev/null &
second=$!
pids+=("$second")
info="$(wait_window '^Info$')"
focus "$info"
xdotool key Return
wait_until "the second start to end" exited "$second"
kill -0 "$first" || fail "the first window went with the second"

xdotool windowmove --sync "$main" 310 205
sleep 0.5
moved="$(position "$main")"
# The check box, 16 by 106 pixels into the window.
xdotool mousemove --window "$main" 22 112 click 1
sleep 0.3
focus "$main"
xdotool key Escape
wait_until "the window to close" exited "$first"
left="$(stored Left)" top="$(stored Top)"
[ "$(stored Autoquit)" = 1 ] || fail "Autoquit holds '$(stored Autoquit)', not 1"
[ "$left $top" != "0 0" ] && [ $((left % 15)) = 0 ] && [ $((top % 15)) = 0 ] ||
    fail "stored position '$left $top' is not the moved window's, in twips"

wine "$exe" notes.gri 2>/dev/null &
third=$!
pids+=("$third")
main="$(wait_window '^Grize / notes\.gri$')"
[ "$(position "$main")" = "$moved" ] || fail "opened at $(position "$main"), closed at $moved"
focus "$main"
xdotool type --delay 20 'pass word'
xdotool key Return
# The ticked box closes the window after the run.
wait_until "auto quit" exited "$third"
cmp original notes.txt || fail "the decrypted file differs"
[ ! -e notes.gri ] || fail "notes.gri is still there"
echo "PASS: wine_session_test"
