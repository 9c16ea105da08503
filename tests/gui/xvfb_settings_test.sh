#!/usr/bin/env bash
# The stored window position and "Auto quit window" as a person meets them:
# move the window, tick the box, close, start again. Once on a bare X server
# (keyboard, Esc), once under openbox when it is installed (title-bar drag,
# close box), where positions include the window frame.
#   xvfb_settings_test.sh GRIZE
set -euo pipefail
grize="$1"
for tool in Xvfb xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

source "$(dirname "$0")/xvfb_common.sh"
store="$XDG_CONFIG_HOME/Ashgrove/Grize.conf"

has_extents() { xprop -id "$1" _NET_FRAME_EXTENTS | grep -q ' = '; }

# The screen position of the window's outer edge, frame included: what the
# program stores as its left and top edge.
frame_pos() {
    local x y left=0 top=0 extents
    read -r x y < <(xwininfo -id "$1" |
        awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}')
    extents="$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.* = //p')"
    if [ -n "$extents" ]; then
        IFS=', ' read -r left _ top _ <<<"$extents"
    fi
    echo "$((x - left)) $((y - top))"
}

# QSettings' file holds each value as decimal text on a line of its own.
expect_value() {
    local name="$1" text="$2"
    grep -qx -- '-\?[0-9]\+' <<<"$text" || fail "bad expectation $text"
    grep -qx -- "$name=$text" "$store" ||
        fail "$name holds '$(grep "^$name=" "$store" 2>/dev/null)', want $text"
}

# One round: first start, move, tick, close; second start finds it all and
# auto quit closes the window after an encryption.
run_round() {
    local wm="$1" pid main x y cx cy x0 y0
    rm -rf "$XDG_CONFIG_HOME/Ashgrove" "$scratch/files"/*
    printf 'first line\r\n' >"$scratch/files/notes.txt"

    "$grize" "$scratch/files/notes.txt" &
    pid=$!
    pids+=("$pid")
    main="$(wait_window '^Grize / notes\.txt$')"
    [ "$wm" = none ] || wait_until "frame extents" has_extents "$main"
    # Nothing stored: centred on the 800x600 screen, frame or not.
    read -r cx cy < <(xwininfo -id "$main" |
        awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
             /Width:/ {w = $2} /Height:/ {h = $2} END {print int(x + w / 2), int(y + h / 2)}')
    [ $((cx > 370 && cx < 430 && cy > 270 && cy < 330)) = 1 ] ||
        fail "first start centred at $cx $cy, not near 400 300"
    read -r x0 y0 < <(frame_pos "$main")
    xdotool windowfocus --sync "$main"
    sleep 0.2
    if [ "$wm" = none ]; then
        # Partly off the screen, which the store keeps as it is.
        xdotool windowmove --sync "$main" 700 520
        # Tab from the first password box to the check box, space ticks it.
        xdotool key Tab Tab Tab Tab Tab space
    else
        # Drag by the title bar, in steps as a hand would.
        xdotool mousemove $((x0 + 60)) $((y0 + 8)) mousedown 1
        for step in $(seq 10); do
            xdotool mousemove $((x0 + 60 + step * 19)) $((y0 + 8 + step * 11))
            sleep 0.05
        done
        xdotool mouseup 1
        xdotool mousemove --window "$main" 22 112 click 1
    fi
    sleep 0.3
    read -r x y < <(frame_pos "$main")
    [ "$x $y" != "$x0 $y0" ] || fail "the window did not move"
    if [ "$wm" = none ]; then
        xdotool key Escape
    else
        # The close box sits at the right end of the title bar.
        read -r cx cy < <(xwininfo -id "$main" |
            awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
                 /Width:/ {w = $2} END {print x + w - 10, y - 10}')
        xdotool mousemove "$cx" "$cy" click 1
    fi
    wait_until "grize to end after closing" exited "$pid"
    wait "$pid" || fail "grize ended with status $?"
    expect_value Left $((x * 15))
    expect_value Top $((y * 15))
    expect_value Autoquit 1
    cp "$store" "$scratch/saved"

    "$grize" "$scratch/files/notes.txt" &
    pid=$!
    pids+=("$pid")
    main="$(wait_window '^Grize / notes\.txt$')"
    [ "$wm" = none ] || wait_until "frame extents" has_extents "$main"
    sleep 0.3
    [ "$(frame_pos "$main")" = "$x $y" ] ||
        fail "second start at $(frame_pos "$main"), closed at $x $y"
    xdotool windowfocus --sync "$main"
    sleep 0.2
    xdotool type --delay 30 'pw'
    xdotool key Tab
    xdotool type --delay 30 'pw'
    xdotool key Return
    # The box is ticked: the window closes itself after the encryption.
    wait_until "auto quit" exited "$pid"
    wait "$pid" || fail "grize ended with status $?"
    [ -s "$scratch/files/notes.gri" ] || fail "no notes.gri"
    # The close saved the same place again: no drift by the frame size.
    diff "$scratch/saved" "$store" || fail "the second close stored other values"
    rm -f "$scratch/saved"
}

echo "== bare X server: Tab, space, Esc"
run_round none

if command -v openbox >/dev/null; then
    echo "== openbox: title bar, mouse, close box"
    openbox --sm-disable >"$scratch/openbox.log" 2>&1 &
    pids+=($!)
    wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
    wait_until "openbox" wm_running
    run_round openbox
else
    echo "openbox is not installed: the round with a window frame is left out"
fi

echo "PASS"
