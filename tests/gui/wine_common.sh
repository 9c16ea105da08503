# Shared by the tests that run Windows programs under Wine: the X server
# tests' set-up, a Wine prefix of its own in the scratch folder, and the
# wineserver ended before the X server goes.
for tool in Xvfb xdotool wine wineboot wineserver; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_common.sh"
# Qt for Windows picks its own platform.
unset QT_QPA_PLATFORM
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1 || true
wineserver -w
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
