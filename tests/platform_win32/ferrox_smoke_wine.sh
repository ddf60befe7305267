#!/usr/bin/env bash
# Runs the Windows Ferrox (ferrox.exe) under Wine on a virtual X server: the window appears, its
# title counts the run time in Ferrox's format, the logo is drawn (lit letters in the upper band
# of the client area over a dark background), the workers run (one thread per processor gains
# processor time steadily), and closing the window with Alt+F4 ends the
# program with status 0 and leaves no thread behind. Runs inside wine_session.sh (it starts one
# when not already inside). Exits 77 (skipped) when a tool is missing.
# FERROX_SMOKE_SHOT=file.png keeps a screenshot of the screen with the program running.
set -u
ferrox=${1:?usage: ferrox_smoke_wine.sh path/to/ferrox.exe}
if [ -z "${FERROX_WINE_SESSION:-}" ]; then
    exec "$(dirname "$0")/wine_session.sh" "$0" "$@"
fi
for tool in xdotool xprop import convert identify; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
log=$work/ferrox.log
ferrox_pid=""
cleanup() {
    [ -n "$ferrox_pid" ] && kill -9 "$ferrox_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [ -s "$log" ] && { echo "--- ferrox output:"; cat "$log"; }
    exit 1
}

"$FERROX_WINE" "$ferrox" >"$log" 2>&1 &
ferrox_pid=$!

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
pattern='^Ferrox [0-9][0-9]+:[0-9][0-9]:[0-9][0-9] at +[0-9]+\.[0-9] MHz$'

window=""
for _ in $(seq 200); do
    kill -0 "$ferrox_pid" 2>/dev/null || fail "ferrox ended before its window appeared"
    window=$(xdotool search --onlyvisible --name '^Ferrox [0-9]' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no Ferrox window within 20 s"

first=$(title_of "$window")
echo "title: $first"
[[ $first =~ $pattern ]] || fail "unexpected title '$first'"

# The workers run: over two seconds at least one thread per processor gains 100 ms or more of
# processor time. Time gained per thread rather than the share of the machine, or threads seen in
# state R (a Wine thread waiting on its server sleeps), keeps the check true on a machine that
# other work is loading too: ten such threads on two processors still get about 400 ms each.
thread_ticks() { for stat in /proc/"$ferrox_pid"/task/*/stat; do
    echo "${stat%/stat} $(sed 's/.*) //' "$stat" 2>/dev/null | awk '{ print $12 + $13 }')"; done; }
before=$(thread_ticks)
sleep 2
after=$(thread_ticks)
ticks_per_second=$(getconf CLK_TCK)
running=$(join <(echo "$before" | sort) <(echo "$after" | sort) |
          awk -v hz="$ticks_per_second" '$3 != "" && $2 != "" && ($3 - $2) / hz >= 0.1' | wc -l)
processors=$(nproc)
echo "threads that ran 100 ms or more in 2 s: $running, $processors processors"
[ "$running" -ge "$processors" ] || fail "only $running threads ran 100 ms in 2 s, for $processors processors"

second=$(title_of "$window")
echo "title: $second"
[[ $second =~ $pattern ]] || fail "unexpected title '$second'"
[ "$first" != "$second" ] || fail "the title did not change in 2 s"

# The client area is the bottom 240 rows of the window (the menu bar is above it); the pointer
# stays in a corner, so no tool tip covers the picture.
xdotool mousemove 0 599
sleep 0.3
import -window "$window" "$work/window.png" 2>/dev/null || fail "no screenshot of the window"
height=$(identify -format '%h' "$work/window.png")
convert "$work/window.png" -crop "320x240+0+$((height - 240))" +repage "$work/client.png"
brightest() { convert "$1" -crop "320x$(($3 - $2 + 1))+0+$2" +repage -colorspace Gray -format '%[fx:int(100*maxima)]' info:; }
band=$(brightest "$work/client.png" 30 95)
below=$(brightest "$work/client.png" 110 239)
echo "logo band brightness: $band, below it: $below"
[ "$band" -ge 60 ] || fail "no lit logo in the upper band (brightest $band)"
[ "$below" -le 45 ] || fail "light below the logo's band (brightest $below): blank or upside down?"
if [ -n "${FERROX_SMOKE_SHOT:-}" ]; then
    import -window root "$FERROX_SMOKE_SHOT" 2>/dev/null
fi

xdotool windowactivate --sync "$window" >/dev/null 2>&1
xdotool key --clearmodifiers alt+F4
for _ in $(seq 100); do
    kill -0 "$ferrox_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$ferrox_pid" 2>/dev/null; then
    fail "ferrox still running ($(ls "/proc/$ferrox_pid/task" 2>/dev/null | wc -l) threads) 10 s after Alt+F4"
fi
wait "$ferrox_pid"
status=$?
pid=$ferrox_pid
ferrox_pid=""
[ "$status" -eq 0 ] || fail "ferrox exited with status $status"
[ ! -d "/proc/$pid" ] || fail "ferrox's process (and so some thread of it) is still there"
echo "ferrox closed cleanly"
