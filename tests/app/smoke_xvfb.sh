#!/usr/bin/env bash
# Runs the real Ferrox on a virtual X server with a window manager (openbox) and a tray
# (trayer): the window appears, its title counts the run time, its client area shows the logo
# (lit letters in the upper band over a dark background), the picture changes while animated and
# stands still once "&Animated" is switched off from the menu bar, and closing the window with
# Alt+F4 ends the program with status 0 within a few seconds, with the Animated choice kept for its
# next start. Then: SIGTERM and SIGINT end a run
# with status 0; an injected fault shows in the title within seconds, a --duration run with it
# keeps its window open with the verdict and ends with status 2 and its report when closed; a crash
# and a stuck worker are errors that never take Ferrox down or hold it. Exits 77 (skipped) when a
# tool is missing.
# FERROX_SMOKE_SHOT=file.png keeps a screenshot of the running program.
set -u
ferrox=${1:?usage: smoke_xvfb.sh path/to/ferrox}

for tool in Xvfb openbox trayer xdotool xprop import convert compare; do
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

# The settings the window keeps go to a folder of the test's own, never the user's.
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$runtime_dir XDG_CONFIG_HOME=$runtime_dir/config
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

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
pattern='^Ferrox [0-9][0-9]+:[0-9][0-9]:[0-9][0-9] at +[0-9]+\.[0-9] MHz$'

# Starts ferrox with the given options; sets ferrox_pid and window.
start_window() {
    "$ferrox" "$@" >"$log" 2>&1 &
    ferrox_pid=$!
    pids+=("$ferrox_pid")
    window=""
    for _ in $(seq 100); do
        kill -0 "$ferrox_pid" 2>/dev/null || fail "ferrox $* ended before its window appeared"
        window=$(xdotool search --onlyvisible --name '^Ferrox [0-9]' 2>/dev/null | head -1)
        [ -n "$window" ] && return 0
        sleep 0.1
    done
    fail "no Ferrox window within 10 s ($*)"
}
# Waits up to 8 s for ferrox to end; sets status.
wait_for_end() {
    for _ in $(seq 80); do
        kill -0 "$ferrox_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$ferrox_pid" 2>/dev/null; then
        kill -9 "$ferrox_pid"
        fail "ferrox still running 8 s after $1"
    fi
    wait "$ferrox_pid"
    status=$?
}

start_window
first=$(title_of "$window")
echo "title: $first"
[[ $first =~ $pattern ]] || fail "unexpected title '$first'"
sleep 1.5
second=$(title_of "$window")
echo "title: $second"
[[ $second =~ $pattern ]] || fail "unexpected title '$second'"
[ "$first" != "$second" ] || fail "the title did not change in 1.5 s"

# The client area is the bottom 240 rows of the window (the menu bar is above it). The pointer
# stays in a corner, so no tool tip covers the picture.
xdotool mousemove 0 599
client_shot() {
    import -window "$window" "$runtime_dir/window.png" 2>/dev/null || return 1
    local height
    height=$(identify -format '%h' "$runtime_dir/window.png")
    convert "$runtime_dir/window.png" -crop "320x240+0+$((height - 240))" +repage "$1"
}
# The brightest grey (0-100) in rows first to last of a client shot.
brightest() { convert "$1" -crop "320x$(($3 - $2 + 1))+0+$2" +repage -colorspace Gray -format '%[fx:int(100*maxima)]' info:; }
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

client_shot "$runtime_dir/a.png" || fail "no screenshot of the window"
band=$(brightest "$runtime_dir/a.png" 30 95)
below=$(brightest "$runtime_dir/a.png" 110 239)
echo "logo band brightness: $band, below it: $below"
[ "$band" -ge 60 ] || fail "no lit logo in the upper band (brightest $band)"
[ "$below" -le 45 ] || fail "light below the logo's band (brightest $below): blank or upside down?"
sleep 2
client_shot "$runtime_dir/b.png" || fail "no second screenshot"
changed=$(differing "$runtime_dir/a.png" "$runtime_dir/b.png")
echo "pixels changed in 2 s of animation: $changed"
[ "${changed%%.*}" -gt 100 ] 2>/dev/null || fail "the animated picture did not change ($changed pixels)"

if [ -n "${FERROX_SMOKE_SHOT:-}" ]; then
    cp "$runtime_dir/b.png" "$FERROX_SMOKE_SHOT"
fi

# Settings, then its "&Animated" item.
xdotool windowactivate --sync "$window" >/dev/null 2>&1
xdotool key --clearmodifiers alt+s
sleep 0.5
xdotool key --clearmodifiers a
sleep 0.5
xdotool mousemove 0 599
client_shot "$runtime_dir/c.png" || fail "no third screenshot"
sleep 1.5
client_shot "$runtime_dir/d.png" || fail "no fourth screenshot"
still=$(differing "$runtime_dir/c.png" "$runtime_dir/d.png")
echo "pixels changed in 1.5 s with the animation off: $still"
[ "${still%%.*}" = "0" ] || fail "the picture kept changing after Animated was switched off ($still pixels)"
band=$(brightest "$runtime_dir/d.png" 30 95)
[ "$band" -ge 60 ] || fail "no logo with the animation off (brightest $band)"

xdotool windowactivate --sync "$window" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
wait_for_end "Alt+F4"
[ "$status" -eq 0 ] || fail "ferrox exited with status $status"
[ ! -d "/proc/$ferrox_pid" ] || fail "ferrox's process is still there"
echo "ferrox closed cleanly"
# The menu's choice is kept for the next start.
grep -qx 'animated=false' "$XDG_CONFIG_HOME/ferrox/ferrox.conf" 2>/dev/null ||
    fail "the Animated choice was not kept: $(cat "$XDG_CONFIG_HOME/ferrox/ferrox.conf" 2>&1)"
echo "the Animated choice was kept"

for signal in TERM INT; do
    start_window --threads 1 --no-animation
    kill -s "$signal" "$ferrox_pid"
    wait_for_end "SIG$signal"
    [ "$status" -eq 0 ] || fail "SIG$signal: status $status"
    echo "SIG$signal ended the window with status 0"
done

# Processor 0 computes a wrong result after two good checks: the title counts it within seconds.
# At the end of the duration the load stops and the window stays, with the verdict in its title
# and the Results window; closing it gives the verdict's status 2 and a report that names it.
FERROX_INJECT_FAULT=cpu=0,after=2 start_window --threads 1 --duration 4s --report "$runtime_dir/report.json"
wait_for_title() {  # PATTERN SECONDS: until the title matches
    for _ in $(seq $(($2 * 10))); do
        title_of "$window" | grep -q -- "$1" && return 0
        sleep 0.1
    done
    return 1
}
wait_for_title ' - 1 error$' 5 || fail "no error in the title within 5 s: '$(title_of "$window")'"
echo "title with the fault: $(title_of "$window")"
wait_for_title ' - 1 error - FAILED$' 10 || fail "no verdict in the title after the duration: '$(title_of "$window")'"
kill -0 "$ferrox_pid" 2>/dev/null || fail "the window closed by itself at the end of its duration"
xdotool search --onlyvisible --name '^Ferrox Results$' >/dev/null || fail "no Results window at the end"
ended=$(title_of "$window")
sleep 1.5
[ "$(title_of "$window")" = "$ended" ] || fail "the run time went on after the end: '$(title_of "$window")'"
echo "title at the end: $ended"
xdotool windowactivate --sync "$window" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
wait_for_end "Alt+F4 after the end"
[ "$status" -eq 2 ] || fail "a run with errors ended with status $status"
grep -q '"verdict": "failed"' "$runtime_dir/report.json" || fail "no failed verdict in the report"
grep -q '"end_reason": "its duration ended"' "$runtime_dir/report.json" || fail "wrong end reason in the report"
echo "the faulty run kept its window open with the verdict, then ended with status 2"

# --close-at-end: the window closes by itself when the duration ends.
start_window --threads 1 --duration 2s --close-at-end
wait_for_end "its 2 s duration with --close-at-end"
[ "$status" -eq 0 ] || [ "$status" -eq 7 ] || fail "--close-at-end: status $status"
echo "--close-at-end closed the window with status $status"

# A real invalid memory access in a worker: an error of its processor in the title, and Ferrox
# keeps running until it is closed.
FERROX_INJECT_FAULT=cpu=0,after=1,kind=crash start_window --threads 1 --report "$runtime_dir/crash.json"
wait_for_title ' - 1 error$' 5 || fail "no error after a crash in a worker: '$(title_of "$window")'"
sleep 0.5
kill -0 "$ferrox_pid" 2>/dev/null || fail "a crash in a worker ended Ferrox"
kill -s TERM "$ferrox_pid"
wait_for_end "SIGTERM after a crash"
[ "$status" -eq 2 ] || fail "after a crash: status $status"
grep -q '"kind": "crashed"' "$runtime_dir/crash.json" || fail "no crash in the report"
echo "a crash in a worker is an error and Ferrox lives on"

# A worker that never finishes its pass: found, and SIGTERM still ends Ferrox within seconds.
FERROX_INJECT_FAULT=cpu=0,after=2,kind=hang start_window --threads 1 --report "$runtime_dir/hang.json"
wait_for_title ' - 1 error$' 60 || fail "a stuck worker was not found: '$(title_of "$window")'"
kill -s TERM "$ferrox_pid"
wait_for_end "SIGTERM with a stuck worker"
[ "$status" -eq 2 ] || fail "with a stuck worker: status $status"
grep -q '"kind": "stopped responding"' "$runtime_dir/hang.json" || fail "no stuck worker in the report"
echo "a stuck worker is an error and does not hold Ferrox"
