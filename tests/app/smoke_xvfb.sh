#!/usr/bin/env bash
# Runs the real Ferrox on a virtual X server with a window manager (openbox) and a tray
# (trayer): the window appears, its title counts the run time, and closing it with Alt+F4 ends
# the program with status 0 within a few seconds. Exits 77 (skipped) when a tool is missing.
# FERROX_SMOKE_SHOT=file.png keeps a screenshot of the running program.
set -u
ferrox=${1:?usage: smoke_xvfb.sh path/to/ferrox}

for tool in Xvfb openbox trayer xdotool xprop; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done

pids=()
runtime_dir=$(mktemp -d)
log=$runtime_dir/ferrox.log
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$runtime_dir"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -s "$log" ] && { echo "--- ferrox output:"; cat "$log"; }
    exit 1
}

# A display number nobody uses.
display=""
for n in $(seq 87 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || fail "no free X display number"

Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
[ -e "/tmp/.X11-unix/X$display" ] || fail "Xvfb did not start"

export DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$runtime_dir
# Sanitizer builds: the desktop bus library keeps a buffer until exit.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan_suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
unset WAYLAND_DISPLAY
chmod 700 "$runtime_dir"
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
trayer --edge bottom --align right --widthtype pixel --width 100 --heighttype pixel --height 24 \
    >/dev/null 2>&1 &
pids+=($!)
sleep 0.5

"$ferrox" >"$log" 2>&1 &
ferrox_pid=$!
pids+=("$ferrox_pid")

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
pattern='^Ferrox [0-9][0-9]+:[0-9][0-9]:[0-9][0-9] at +[0-9]+\.[0-9] MHz$'

window=""
for _ in $(seq 100); do
    kill -0 "$ferrox_pid" 2>/dev/null || fail "ferrox ended before its window appeared"
    window=$(xdotool search --onlyvisible --name '^Ferrox [0-9]' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no Ferrox window within 10 s"

first=$(title_of "$window")
echo "title: $first"
[[ $first =~ $pattern ]] || fail "unexpected title '$first'"
sleep 1.5
second=$(title_of "$window")
echo "title: $second"
[[ $second =~ $pattern ]] || fail "unexpected title '$second'"
[ "$first" != "$second" ] || fail "the title did not change in 1.5 s"

if [ -n "${FERROX_SMOKE_SHOT:-}" ] && command -v import >/dev/null 2>&1; then
    import -window root "$FERROX_SMOKE_SHOT"
fi

xdotool windowactivate --sync "$window" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
for _ in $(seq 80); do
    kill -0 "$ferrox_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$ferrox_pid" 2>/dev/null; then
    kill -9 "$ferrox_pid"
    fail "ferrox still running 8 s after Alt+F4"
fi
wait "$ferrox_pid"
status=$?
[ "$status" -eq 0 ] || fail "ferrox exited with status $status"
[ ! -d "/proc/$ferrox_pid" ] || fail "ferrox's process is still there"
echo "ferrox closed cleanly"
