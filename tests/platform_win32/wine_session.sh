#!/usr/bin/env bash
# Runs a command in a fresh Wine session: a virtual X server with a window manager (openbox) and a
# tray (trayer), a new Wine prefix made and started before the command (so Wine's start-up cost
# lands in no test), and Wine's server ended afterwards. The command sees DISPLAY, WINEPREFIX,
# WINEDEBUG=-all, FERROX_WINE (the Wine program) and FERROX_WINE_SESSION=1.
# Exits 77 (skipped) when a tool is missing; otherwise with the command's status.
set -u
[ $# -ge 1 ] || { echo "usage: wine_session.sh command [arguments...]"; exit 2; }

wine=${FERROX_WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
for tool in Xvfb openbox trayer; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -x "$wine" ] || { echo "skipped: Wine ($wine) is not installed"; exit 77; }
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)

pids=()
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all FERROX_WINE=$wine FERROX_WINE_SESSION=1
cleanup() {
    "$wineserver" -k >/dev/null 2>&1
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait "${pids[@]}" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

display=""
for n in $(seq 141 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "FAIL: no free X display number"; exit 1; }
Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$display"
openbox >/dev/null 2>&1 &
pids+=($!)
trayer --edge bottom --align right --widthtype pixel --width 100 --heighttype pixel --height 24 >/dev/null 2>&1 &
pids+=($!)

"$wine" wineboot -i >/dev/null 2>&1 || { echo "FAIL: wineboot failed"; exit 1; }
"$wine" cmd /c exit >/dev/null 2>&1 || { echo "FAIL: Wine does not start programs"; exit 1; }

"$@"
