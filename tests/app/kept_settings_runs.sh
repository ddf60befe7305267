#!/usr/bin/env bash
# The real program and the settings its window keeps in $XDG_CONFIG_HOME/ferrox/ferrox.conf: a
# file as an earlier run keeps it gives the next run its settings (the log's start line says which
# ones ran), an option on the command line holds for its run and is not kept, --reset-settings
# forgets them and starts from the defaults, a broken file or a link in its place is one warning
# and the defaults (never a crash), and a headless run takes only its command line. The window
# runs on Qt's offscreen platform, two seconds each.
set -u
ferrox=${1:?usage: kept_settings_runs.sh path/to/ferrox}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
kept=$XDG_CONFIG_HOME/ferrox/ferrox.conf
failed=0
fail() { echo "FAIL: $*"; failed=1; }

keep() {  # the file as the window writes it
    mkdir -p "$XDG_CONFIG_HOME/ferrox" && chmod 700 "$XDG_CONFIG_HOME/ferrox"
    printf '[General]\nanimated=false\ncycle_period=60\ncycling=false\nload=builtin\npin=true\npriority=low\nstop_on_error=false\nthreads=1\n' >"$kept"
}
# run [OPTIONS...]: the window for a second and a half; sets status, its stderr in $work/err and the
# log's last start line in start.
run() {
    timeout 30 "$ferrox" --duration 2s --close-at-end "$@" >/dev/null 2>"$work/err"
    status=$?
    start=$(grep ' start: ' "$XDG_STATE_HOME/ferrox/ferrox.log" | tail -n 1)
}
ran() {  # the settings the last run had, as the log says them
    case $start in *"; $1 "*) ;; *) fail "$2: the run had other settings: ${start#*; }" ;; esac
}

keep
cp "$kept" "$work/kept.before"
run
[ "$status" -eq 7 ] || fail "the kept run ended with status $status: $(cat "$work/err")"
ran "1 thread, priority low, load builtin" "kept settings"
grep -q "^ferrox:" "$work/err" && fail "warnings with good kept settings: $(cat "$work/err")"

run --threads 2 --priority normal
ran "2 threads, priority normal, load builtin" "options over kept settings"
cmp -s "$kept" "$work/kept.before" || fail "the command line's options were kept: $(cat "$kept")"

printf '\0\1\2threads=16\n[[[\n' >"$kept"
run
[ "$status" -eq 0 ] || fail "a broken settings file: status $status: $(cat "$work/err")"
ran "one thread per processor, priority normal, load widest" "a broken settings file"
grep -q 'ferrox: the settings kept from earlier runs could not be read .*the defaults are used' "$work/err" ||
    fail "no warning about a broken settings file: $(cat "$work/err")"

rm "$kept"
echo "mine" >"$work/victim"
ln -s "$work/victim" "$kept"
run
ran "one thread per processor, priority normal, load widest" "a link in the settings' place"
grep -q 'symbolic link' "$work/err" || fail "no warning about a link in the settings' place: $(cat "$work/err")"
[ "$(cat "$work/victim")" = mine ] || fail "the file behind the link changed"
rm "$kept"

keep
run --reset-settings --priority high
ran "one thread per processor, priority high, load widest" "--reset-settings"
[ -e "$kept" ] && fail "--reset-settings left the kept settings: $(cat "$kept")"

keep
timeout 30 "$ferrox" --headless --duration 1s >/dev/null 2>"$work/err"
start=$(grep ' start: ' "$XDG_STATE_HOME/ferrox/ferrox.log" | tail -n 1)
ran "one thread per processor, priority normal, load widest" "a headless run"
timeout 30 "$ferrox" --headless --duration 1s --reset-settings >/dev/null 2>"$work/err"
[ -e "$kept" ] && fail "--reset-settings --headless left the kept settings"

[ "$failed" -eq 0 ] && echo "kept settings: used, overridden for one run, forgotten, and refused when broken or planted"
exit "$failed"
