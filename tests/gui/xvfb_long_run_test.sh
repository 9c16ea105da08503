#!/usr/bin/env bash
# Encrypts a large file with the real grize binary in an X server of its
# own: while the work runs, the window must repaint after being unmapped and
# mapped again (a frozen window would show the X server's background there)
# and show its progress bar; SIGTERM part-way leaves no scratch file.
#   xvfb_long_run_test.sh GRIZE [MIB]
# A file the machine encrypts before the checks are done is doubled and
# tried again, up to 4 GiB, as long as the disk has room.
set -euo pipefail
grize="$1"
mib="${2:-512}"
for tool in Xvfb xdotool import compare; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$(dirname "$0")/xvfb_common.sh"

files="$scratch/files"
# A large file on a busy machine may take a while.
wait_tenths=1800

# Starts grize on a big.txt of $1 MiB with the password typed, one key short
# of the work.
start() {
rm -f "$files/big.txt" "$files/big.gri"
head -c "$(($1 << 20))" /dev/zero | tr '\0' 'x' >"$files/big.txt"

"$grize" "$files/big.txt" &
pid=$!
pids+=("$pid")
main="$(wait_window '^Grize / big\.txt$')"
focus "$main"
xdotool type --delay 30 'pw'
xdotool key Tab
xdotool type --delay 30 'pw'
}

# One run on a file of $1 MiB; returns 2 when the work ended too soon to see.
attempt() {
start "$1"
sleep 0.3
import -window "$main" "$scratch/before.png"
xdotool key Return

# The labels (left of the blinking text cursor) do not change while the
# work runs; the progress bar's place beside the check box does.
region() { convert "$1" -crop "$2" +repage "$3"; }
differs() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" != 0 ]; }
region "$scratch/before.png" 128x50+0+0 "$scratch/top-before.png"
region "$scratch/before.png" 91x13+129+106 "$scratch/bar-before.png"
shown=""
for _ in $(seq 100); do
    exited "$pid" && fail "grize ended during the work"
    [ -e "$files/big.gri" ] && { finish "$pid"; return 2; }
    import -window "$main" "$scratch/during.png"
    region "$scratch/during.png" 91x13+129+106 "$scratch/bar-during.png"
    if differs "$scratch/bar-before.png" "$scratch/bar-during.png"; then
        shown=1
        break
    fi
    sleep 0.1
done
[ -n "$shown" ] || fail "no progress bar while working"

xdotool windowunmap --sync "$main"
xdotool windowmap --sync "$main"
sleep 0.5
[ -e "$files/big.gri" ] && { finish "$pid"; return 2; }
import -window "$main" "$scratch/remapped.png"
region "$scratch/remapped.png" 128x50+0+0 "$scratch/top-remapped.png"
differs "$scratch/top-before.png" "$scratch/top-remapped.png" &&
    fail "the window did not repaint while working"
if [ -n "${GRIZE_SHOT_WORKING:-}" ]; then
    cp "$scratch/remapped.png" "$GRIZE_SHOT_WORKING"
fi

wait_until "big.gri" test -e "$files/big.gri"
wait_until "big.txt to go" test ! -e "$files/big.txt"
# Once done the window names what it wrote, in its caption and its foot
# (soon, though a busy machine may take a moment); it offers Done.
names_output() { [ "$(xdotool getwindowname "$main")" = "Grize / big.gri" ]; }
wait_tenths=30 wait_until "the caption to name big.gri" names_output
press_done "$pid"
}

# Enter on Done. A key that comes while the window still winds the work up
# is not taken (input is blocked while working), so it is pressed again.
press_done() {
    for _ in $(seq 10); do
        focus "$main"
        xdotool key Return
        for _ in $(seq 20); do
            exited "$1" && return 0
            sleep 0.1
        done
    done
    fail "grize did not end after Done"
}

# Lets a run that was too quick to watch end, as a user would.
finish() {
    wait_until "big.txt to go" test ! -e "$files/big.txt"
    press_done "$1"
}

while :; do
    free_mib=$(($(df -Pk "$files" | awk 'NR == 2 {print $4}') / 1024))
    [ "$free_mib" -gt $((3 * mib)) ] || { echo "SKIP: no room for a ${mib} MiB run"; exit 77; }
    status=0
    attempt "$mib" || status=$?
    [ "$status" -eq 0 ] && break
    [ "$status" -eq 2 ] && [ "$mib" -lt 4096 ] || fail "the work ended too soon to watch, even at ${mib} MiB"
    mib=$((mib * 2))
    echo "the run was too quick to watch; trying ${mib} MiB"
done

# SIGTERM while the work runs on a thread of its own: the status a shell
# expects, the source whole and no scratch file left.
start "$mib"
xdotool key Return
wait_until "a scratch file" compgen -G "$files/.grize-*.tmp" >/dev/null
kill -TERM "$pid"
wait_tenths=50 wait_until "grize to end after SIGTERM" exited "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 143 ] && [ "$(ls -A "$files")" = big.txt ] ||
    fail "after SIGTERM: status $status, left $(ls -A "$files")"
echo "PASS"
