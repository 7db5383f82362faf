#!/bin/sh
# Runs a windowed Windows program under Wine on an X display of its own:
#   wine-gui-run.sh [--dpi N] PREFIX PROGRAM.exe [ARGUMENT...]
# Starts Xvfb, runs the program through wine-run.sh, then ends the prefix's
# Wine session and the display, so nothing outlives the run. The prefix must be
# one that only this script uses: its session belongs to this display.
# With --dpi, the prefix's LogPixels is set first (96 is 100 %, 144 is 150 %).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dpi=96
if [ "${1:-}" = --dpi ]; then
    dpi=$2
    shift 2
fi
prefix=$(realpath -m "$1")
shift

work=$(mktemp -d)
xvfb=
cleanup() {
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
    if [ -n "$xvfb" ]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Xvfb writes its display number into the pipe once it takes connections; if
# it fails, the pipe closes empty.
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
read -r display <"$work/display" || true
if [ -z "${display:-}" ]; then
    echo "wine-gui-run.sh: Xvfb did not start" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"

# A session left over from an interrupted run would draw on a display that is gone.
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
# The display's dpi. There is no window manager: Wine draws the window frames
# itself, and does not wait for one to take a hidden window down (two seconds each).
cat >"$work/settings.reg" <<SETTINGS
REGEDIT4

[HKEY_CURRENT_USER\\Control Panel\\Desktop]
"LogPixels"=dword:$(printf %08x "$dpi")

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"
SETTINGS
"$here/wine-run.sh" "$prefix" reg import "Z:$work/settings.reg" >/dev/null

# In the background, so that a signal ends the run at once (the trap ends Wine).
"$here/wine-run.sh" "$prefix" "$@" &
status=0
wait $! || status=$?
exit "$status"
