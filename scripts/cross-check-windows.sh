#!/usr/bin/env bash
# A file encrypted by the Linux grize-cli decrypts byte for byte under Wine's
# grize-cli.exe, and the reverse, with an ASCII password and one that needs
# Windows-1252, given on standard input and typed into the console. Needs
# build/ and build-windows/; run-windows-tests.sh runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
linux="$PWD/build/src/cli/grize-cli"
exe="$PWD/build-windows/src/cli/grize-cli.exe"
answer="$PWD/scripts/pty_answer.py"
export WINEPREFIX="$PWD/build-windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    LC_ALL=C.UTF-8
scratch="$(mktemp -d "$PWD/build-windows/cross-XXXXXX")"
source scripts/xvfb.sh
# Wine's programs go with the X server they draw on.
trap 'xvfb_stop; rm -rf "$scratch"' EXIT
cd "$scratch"
head -c 200000 /dev/urandom >plain
printf 'two\nlines\r\n' >>plain

# The same password as each side is given it: UTF-8 to Linux, and to Wine
# once as UTF-8 and once in Windows-1252 (its ANSI code page here).
check() {
    local name="$1" linuxPw="$2" winePw="$3"
    cp plain a.txt
    printf '%s\n' "$linuxPw" | "$linux" encrypt --password-stdin a.txt
    # A check that passes for any password would prove nothing.
    if printf 'wrong\n' | wine "$exe" decrypt --password-stdin a.gri 2>/dev/null; then
        echo "cross check $name: a wrong password was taken"
        exit 1
    fi
    printf '%s\n' "$winePw" | wine "$exe" decrypt --password-stdin a.gri
    cmp plain a.txt || { echo "cross check $name: Linux to Wine differs"; exit 1; }
    printf '%s\n' "$winePw" | wine "$exe" encrypt --password-stdin a.txt
    printf '%s\n' "$linuxPw" | "$linux" decrypt --password-stdin a.gri
    cmp plain a.txt || { echo "cross check $name: Wine to Linux differs"; exit 1; }
    rm -f a.txt
    echo "cross check $name: both ways byte for byte"
}
check ascii 'Secret 42' 'Secret 42'
check windows-1252-as-utf8 'café €' 'café €'
check windows-1252-bytes 'café €' "$(printf 'caf\xe9 \x80')"

# age files between grize-cli.exe and the Linux age tool, both forms: the
# passphrase is the UTF-8 of the text on either side.
age_check() {
    local pw='Grüße, пароль' armor="$1" kind="${1:-binary}"
    if ! command -v age >/dev/null; then
        echo "cross check age: skipped, age is not installed"
        return
    fi
    cp plain a.txt
    printf '%s\n' "$pw" | wine "$exe" encrypt --age $armor --password-stdin a.txt
    "$answer" "$pw" age -d -o back a.txt.age >/dev/null
    cmp plain back || { echo "cross check age $kind: Wine to age differs"; exit 1; }
    rm -f a.txt.age
    "$answer" "$pw" age -p ${armor:+-a} -o a.age back >/dev/null
    printf '%s\n' "$pw" | wine "$exe" decrypt --password-stdin a.age
    cmp plain a || { echo "cross check age $kind: age to Wine differs"; exit 1; }
    rm -f a back
    echo "cross check age $kind: Wine and age both ways byte for byte"
}
age_check ""
age_check --armor

# The same password typed into a real console: grize-cli.exe in wineconsole on
# an Xvfb display (the first free one, or one in GRIZE_XVFB_DISPLAYS="95-97"),
# the keys sent with xdotool.
# One attempt; false when the console never took the keys (a loaded machine
# may start it too late for them), so that the caller tries again.
typed_once() {
    local window console
    xvfb_start "$scratch" || { echo "cross check typed: Xvfb did not start"; exit 1; }
    # Wine's desktop process keeps the display it started with: a new one.
    wineserver -w
    cp plain a.txt
    timeout 40 wineconsole "$exe" encrypt a.txt >/dev/null 2>&1 &
    console=$!
    window=""
    for _ in $(seq 150); do
        window="$(xdotool search --name 'grize-cli\.exe' 2>/dev/null | head -n1)" || true
        [ -n "$window" ] && break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        echo "cross check typed: no console window"
        xvfb_stop
        return 1
    fi
    xdotool windowfocus --sync "$window"
    # The window is there before the program in it reads.
    sleep 1
    for _ in 1 2; do
        xdotool type --delay 50 'café €'
        xdotool key Return
    done
    if ! wait "$console"; then
        xvfb_stop
        return 1
    fi
    xvfb_stop
    if printf 'cafe E\n' | "$linux" decrypt --password-stdin a.gri 2>/dev/null; then
        echo "cross check typed: a wrong password was taken"
        exit 1
    fi
    printf 'café €\n' | "$linux" decrypt --password-stdin a.gri
    cmp plain a.txt || { echo "cross check typed: Wine to Linux differs"; exit 1; }
    rm -f a.txt
    echo "cross check typed into the console: Wine to Linux byte for byte"
}
typed() {
    if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
        echo "cross check typed: skipped, it needs Xvfb and xdotool"
        return
    fi
    for attempt in 1 2 3; do
        typed_once && return
        echo "cross check typed: the console did not finish (attempt $attempt)"
        wineserver -k 2>/dev/null || true
        rm -f a.txt a.gri
    done
    exit 1
}
typed
wineserver -w
