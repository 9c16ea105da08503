#!/usr/bin/env bash
# Takes the README's screenshots of grize.exe under Wine on Xvfb, in a Wine
# desktop window so that Wine draws the title bars:
#   docs/make-windows-screenshots.sh [path/to/grize.exe]
# Writes docs/windows-encrypt.png, docs/windows-decrypt.png (with the box for
# a wrong password) and docs/windows-about.png. Set GRIZE_XVFB_DISPLAYS
# ("98-99", say) to use a display in that range.
set -euo pipefail
docs="$(cd "$(dirname "$0")" && pwd)"
exe="$(realpath "${1:-$docs/../build-windows-app/src/gui/grize.exe}")"
for tool in import convert; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done
source "$docs/../tests/gui/wine_common.sh"
cd "$scratch/files"

# The windows on the Wine desktop, cut free of its plain background.
shoot() {
    local desktop
    desktop="$(xdotool search --name 'Grize - Wine desktop' | head -n1)"
    sleep 1
    import -window "$desktop" "$scratch/desktop.png"
    local background
    background="$(convert "$scratch/desktop.png" -format '%[pixel:p{639,479}]' info:)"
    convert "$scratch/desktop.png" -fuzz 1% -transparent "$background" -trim +repage \
        -background white -flatten "$docs/$1"
}

# Opens grize.exe on a file in a fresh Wine desktop, with the keyboard's focus.
open_on() {
    wine explorer /desktop=Grize,640x480 "$exe" "$1" 2>/dev/null &
    pids+=($!)
    focus "$(wait_window '^Grize - Wine desktop$')"
    # The window itself draws a moment later.
    sleep 3
}

printf 'Dear reader,\r\n' >notes.txt
open_on notes.txt
xdotool type --delay 30 'secret'
shoot windows-encrypt.png
xdotool key Tab
xdotool type --delay 30 'secret'
xdotool key Return
sleep 2
xdotool key Return
wineserver -w

open_on notes.gri
xdotool type --delay 30 'wrong'
xdotool key Return
sleep 2
shoot windows-decrypt.png
xdotool key Return
sleep 1
xdotool key alt+a
sleep 2
shoot windows-about.png
