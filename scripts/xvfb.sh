# Sourced by the X server tests, the benchmarks and the screenshot scripts:
# an Xvfb of their own.
#   source scripts/xvfb.sh
#   xvfb_start FOLDER [SCREEN] || ...   (SCREEN: 800x600x24 unless given)
#   ...
#   xvfb_stop
# xvfb_start takes the first free display, or with GRIZE_XVFB_DISPLAYS=
# "FIRST-LAST" (for machines that set a range aside for tests) the first free
# one in that range. It returns once the server listens, with DISPLAY
# exported and the server's process in $xvfb_pid; 1 when no server started
# (its messages in FOLDER/xvfb.log).

xvfb_pid=""

# One server on display $2 ("" for the first free one), up within 10 s.
_xvfb_try() {
    local folder="$1" display="$2" screen="$3"
    : >"$folder/display"
    # Xvfb writes its display number to fd 3 once it listens.
    Xvfb ${display:+":$display"} -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
        3>"$folder/display" 2>"$folder/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$folder/display" ] && return 0
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
    return 1
}

xvfb_start() {
    local folder="$1" screen="${2:-800x600x24}" n
    if [ -n "${GRIZE_XVFB_DISPLAYS:-}" ]; then
        for n in $(seq "${GRIZE_XVFB_DISPLAYS%-*}" "${GRIZE_XVFB_DISPLAYS#*-}"); do
            _xvfb_try "$folder" "$n" "$screen" && break
        done
    else
        _xvfb_try "$folder" "" "$screen" || true
    fi
    [ -n "$xvfb_pid" ] || return 1
    export DISPLAY=":$(head -n1 "$folder/display")"
}

# Ends the server and waits until it is gone, so that no display stays taken.
xvfb_stop() {
    [ -n "$xvfb_pid" ] || return 0
    kill "$xvfb_pid" 2>/dev/null || true
    for _ in $(seq 50); do
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
}
