#!/usr/bin/env bash
# Takes the README's screenshots of the real program under Xvfb:
#   docs/make-screenshots.sh [path/to/grize]
# Writes docs/main-encrypt.png, docs/main-done.png, docs/main-decrypt.png, docs/about.png,
# docs/main-working.png (a large file under way) and docs/main-scale2.png
# (QT_SCALE_FACTOR=2), each with the title bar openbox draws. Set
# GRIZE_XVFB_DISPLAY (":93", say) to use that display number.
set -euo pipefail
docs="$(cd "$(dirname "$0")" && pwd)"
grize="${1:-$docs/../build/src/gui/grize}"
for tool in Xvfb openbox xdotool xprop import; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
source "$docs/../scripts/xvfb.sh"
scratch="$(mktemp -d)"
pids=()
cleanup() {
    # Programs first, the X server last.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    xvfb_stop
    rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$scratch/home" "$scratch/runtime" "$scratch/files"
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_RUNTIME_DIR="$scratch/runtime"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8

# GRIZE_XVFB_DISPLAY=":93" is the range 93-93.
[ -z "${GRIZE_XVFB_DISPLAY:-}" ] || GRIZE_XVFB_DISPLAYS="${GRIZE_XVFB_DISPLAY#:}-${GRIZE_XVFB_DISPLAY#:}"
xvfb_start "$scratch" 640x480x24 || { cat "$scratch/xvfb.log" >&2; exit 1; }
# A window manager draws the title bars, so the captions show.
openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

wait_window() {
    for _ in $(seq 100); do
        id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)" || true
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    echo "no window /$1/" >&2
    exit 1
}

shot() {
    sleep 0.5
    import -frame -window "$1" "$2"
    echo "wrote $2"
}

printf 'Dear diary,\r\n' >"$scratch/files/notes.txt"
# Stored settings put the window mid-screen, so the about box centred on it
# keeps its title bar on the screen.
mkdir -p "$XDG_CONFIG_HOME/Ashgrove"
printf '[General]\nLeft=3000\nTop=2250\n' >"$XDG_CONFIG_HOME/Ashgrove/Grize.conf"
"$grize" "$scratch/files/notes.txt" &
pids+=($!)
main="$(wait_window '^Grize / notes\.txt$')"
xdotool windowfocus --sync "$main"
xdotool type --delay 20 'secret'
shot "$main" "$docs/main-encrypt.png"

xdotool key alt+a
about="$(wait_window '^About$')"
shot "$about" "$docs/about.png"
xdotool windowfocus --sync "$about"
xdotool key Return
sleep 0.3
xdotool windowfocus --sync "$main"
xdotool key Tab
xdotool type --delay 20 'secret'
xdotool key Return
for _ in $(seq 100); do [ -e "$scratch/files/notes.gri" ] && break; sleep 0.1; done
# Done: the caption and the line beside the check box name what was written.
shot "$main" "$docs/main-done.png"
xdotool key Return

"$grize" "$scratch/files/notes.gri" &
pids+=($!)
main="$(wait_window '^Grize / notes\.gri$')"
xdotool windowfocus --sync "$main"
shot "$main" "$docs/main-decrypt.png"
xdotool key Escape

# A large file under way: the progress bar beside the check box.
head -c $((768 << 20)) /dev/zero | tr '\0' 'x' >"$scratch/files/big.txt"
"$grize" "$scratch/files/big.txt" &
big=$!
pids+=($big)
main="$(wait_window '^Grize / big\.txt$')"
xdotool windowfocus --sync "$main"
xdotool type --delay 20 'secret'
xdotool key Tab
xdotool type --delay 20 'secret'
xdotool key Return
sleep 2
import -frame -window "$main" "$docs/main-working.png"
echo "wrote $docs/main-working.png"
for _ in $(seq 600); do [ -e "$scratch/files/big.txt" ] || break; sleep 0.1; done
sleep 0.5
xdotool windowfocus --sync "$main"
xdotool key Return
for _ in $(seq 100); do kill -0 "$big" 2>/dev/null || break; sleep 0.1; done

# Twice the pixel density: sharp padlocks.
printf 'Dear diary,\r\n' >"$scratch/files/letter.txt"
# Twice as large: start nearer the corner so that all of it is on the screen.
printf '[General]\nLeft=900\nTop=900\n' >"$XDG_CONFIG_HOME/Ashgrove/Grize.conf"
QT_SCALE_FACTOR=2 "$grize" "$scratch/files/letter.txt" &
pids+=($!)
main="$(wait_window '^Grize / letter\.txt$')"
xdotool windowfocus --sync "$main"
shot "$main" "$docs/main-scale2.png"
