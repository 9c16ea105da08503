#!/usr/bin/env bash
# The window's start-up: milliseconds from the launch of grize on a file to
# its window mapped, on an Xvfb of its own, beside a minimal Qt Widgets
# program built in the same tree; interleaved rounds, medians.
#   bench/window-start.sh [BUILD] [ROUNDS]     (defaults: build 15)
# GRIZE_BASELINE: another build folder whose grize is timed alongside.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build}")"
rounds="${2:-15}"
grize="$build/src/gui/grize"
minimal="$build/bench/minimal_window"
minimal_text="$build/bench/minimal_text_window"
timer="$build/bench/time_to_map"
base=""
[ -n "${GRIZE_BASELINE:-}" ] && base="$(realpath "$GRIZE_BASELINE/src/gui/grize")"
for tool in "$grize" "$minimal" "$minimal_text" "$timer" ${base:+"$base"}; do
    [ -x "$tool" ] || { echo "window-start.sh: $tool is missing; build first" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "window-start.sh: Xvfb is missing" >&2; exit 1; }

scratch="$(mktemp -d "${TMPDIR:-/tmp}/grize-window-XXXXXX")"
# The runtime folder (grize's single-instance lock) in memory, as a session has it.
runtime="$(mktemp -d "$([ -d /dev/shm ] && echo /dev/shm || echo "$scratch")/grize-runtime-XXXXXX")"
source scripts/xvfb.sh
cleanup() {
    xvfb_stop
    rm -rf "$scratch" "$runtime"
}
trap cleanup EXIT
mkdir -p "$scratch/home" "$scratch/config" "$scratch/files"
chmod 700 "$runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$runtime"
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY SESSION_MANAGER
echo "some text" >"$scratch/files/notes.txt"

xvfb_start "$scratch" || { echo "window-start.sh: Xvfb did not start" >&2; exit 1; }

launch() {  # name
    case "$1" in
        grize) "$timer" "$grize" "$scratch/files/notes.txt" ;;
        baseline) "$timer" "$base" "$scratch/files/notes.txt" ;;
        minimal) "$timer" "$minimal" ;;
        minimal+text) "$timer" "$minimal_text" ;;
    esac
}
names=(grize minimal minimal+text)
[ -n "$base" ] && names+=(baseline)
declare -A times
for name in "${names[@]}"; do
    launch "$name" >/dev/null  # the libraries into the page cache
done
echo "bench/window-start.sh ${1:-build} $rounds${GRIZE_BASELINE:+ (baseline $GRIZE_BASELINE)}"
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for round in $(seq "$rounds"); do
    n=${#names[@]}
    for i in $(seq 0 $((n - 1))); do
        name="${names[$(((i + round) % n))]}"
        times[$name]+="$(launch "$name") "
    done
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"

median() { tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
m="$(median <<<"${times[minimal]}")"
printf '\nLaunch to window mapped, median of %s rounds\n' "$rounds"
for name in minimal minimal+text grize ${base:+baseline}; do
    awk -v n="$name" -v t="$(median <<<"${times[$name]}")" -v m="$m" \
        'BEGIN { printf "%-12s %8.1f ms %6.2f x minimal\n", n, t, t / m }'
done
