#!/usr/bin/env bash
# Ferrox headless where its report and its log can be turned against it: report paths that are not
# regular files, a folder shared with another user who plants links while the run goes on, reports
# that cannot be written at the end, and a state folder that is not the user's own. Cases that need
# another user run as "nobody" through runuser and are skipped, with a line saying so, unless the
# test runs as root; cases that need a file system of their own are skipped without unshare.
set -u
ferrox=${1:?usage: report_and_log_runs.sh path/to/ferrox}
command -v python3 >/dev/null || { echo "skipped: python3 is needed to read the reports"; exit 77; }
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# shellcheck source=tests/cli/report_checks.sh
. "$(dirname "$0")/report_checks.sh"
skip() { echo "skipped: $*"; }

other_user=
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && runuser -u nobody -- true 2>/dev/null; then
    other_user=nobody
fi
as_other() { runuser -u "$other_user" -- "$@"; }

# --- A report path that is not a regular file is refused before the run: status 1, one line ---
mkfifo "$work/fifo"
echo "old report" >"$work/old.json"
ln -s "$work/old.json" "$work/link.json"
targets="fifo link.json"
if mknod "$work/null" c 1 3 2>/dev/null; then targets="$targets null"; else skip "no character device can be made here (needs root)"; fi
for target in $targets; do
    kind=$(stat -c %F "$work/$target")
    timeout 20 "$ferrox" --headless --threads 1 --duration 1s --report "$work/$target" >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 1 ] || fail "--report $target ($kind) ended with status $status"
    [ "$(grep -c . "$work/err")" -eq 1 ] || fail "--report $target: stderr was: $(cat "$work/err")"
    grep -qE 'symbolic link|not a regular file' "$work/err" || fail "--report $target: no reason: $(cat "$work/err")"
    [ -s "$work/out" ] && fail "--report $target started a run: $(head -n 2 "$work/out")"
    [ "$(stat -c %F "$work/$target")" = "$kind" ] || fail "--report $target: the $kind became a $(stat -c %F "$work/$target")"
done
[ "$(cat "$work/old.json")" = "old report" ] || fail "the file behind the link was written"

# --- A folder shared with another user, who plants links while the run goes on -----------------
if [ -z "$other_user" ]; then
    skip "a folder shared with another user (needs root and runuser)"
else
    shared=$work/shared
    mkdir -m 700 "$work/secret"
    echo "root only" >"$work/secret/file"
    mkdir "$shared"
    chown nobody "$shared"
    "$ferrox" --headless --threads 1 --duration 3s --report "$shared/r.json" >"$work/out" 2>"$work/err" &
    pid=$!
    sleep 1
    # The name the temporary report once had, pointing at root's file.
    as_other ln -s "$work/secret/file" "$shared/r.json.partial-$pid"
    wait $pid
    status=$?
    [ $status -eq 0 ] || fail "the run in the shared folder ended with status $status: $(cat "$work/err")"
    [ "$(cat "$work/secret/file")" = "root only" ] || fail "root's file was overwritten through the planted link"
    [ "$(stat -c %F:%U "$shared/r.json")" = "regular file:root" ] ||
        fail "the report is a $(stat -c %F:%U "$shared/r.json"), not root's own file"
    report "$shared/r.json" 'r["verdict"] == "passed"'
fi

# --- A report that cannot be written at the end: status 6, a line on stderr and in the log, and
# no older report at the path that could pass for this run's -----------------------------------
log=$XDG_STATE_HOME/ferrox/ferrox.log
# The report's folder is removed while the run goes on.
mkdir "$work/gone"
"$ferrox" --headless --threads 1 --duration 3s --report "$work/gone/r.json" >"$work/out" 2>"$work/err" &
pid=$!
sleep 1
rm -rf "$work/gone"
wait $pid
status=$?
[ $status -eq 6 ] || fail "a report whose folder went away ended with status $status, not 6"
grep -q '^ferrox: the report was not written: ' "$work/err" || fail "no report failure on stderr: $(cat "$work/err")"
grep -q ' the report was not written: ' "$log" || fail "no report failure in the log: $(tail -n 3 "$log")"
# An older report, "passed", is at the path; this run fails and its report cannot be written.
mkdir "$work/keep"
echo '{"verdict": "passed", "stale": true}' >"$work/keep/r.json"
FERROX_INJECT_FAULT=cpu=0,after=1 "$ferrox" --headless --threads 1 --duration 3s --report "$work/keep/r.json"     >"$work/out" 2>"$work/err" &
pid=$!
sleep 1
mv "$work/keep" "$work/keep.away"
wait $pid
status=$?
[ $status -eq 6 ] || fail "a failed run whose report could not be written ended with status $status, not 6"
[ -e "$work/keep.away/r.json" ] && fail "the older report survived: $(cat "$work/keep.away/r.json")"
grep -q '^FAILED after' "$work/out" || fail "the verdict is not on stdout: $(tail -n 1 "$work/out")"
# The same on a file system that fills up during the run (a small one of the test's own).
if command -v unshare >/dev/null && unshare -m true 2>/dev/null; then
    mkdir "$work/full"
    FERROX=$ferrox WORK=$work unshare -m bash -c '
        mount -t tmpfs -o size=256k tmpfs "$WORK/full" || exit 77
        echo "{\"verdict\": \"passed\", \"stale\": true}" >"$WORK/full/r.json"
        FERROX_INJECT_FAULT=cpu=0,after=1 "$FERROX" --headless --threads 1 --duration 3s --report "$WORK/full/r.json" \
            >"$WORK/out" 2>"$WORK/err" &
        sleep 1
        dd if=/dev/zero of="$WORK/full/filler" bs=4k 2>/dev/null
        wait $!
        status=$?
        [ -e "$WORK/full/r.json" ] && cp "$WORK/full/r.json" "$WORK/full-left.json"
        exit $status'
    status=$?
    if [ $status -eq 77 ]; then
        skip "a full file system (cannot mount one here)"
    else
        [ $status -eq 6 ] || fail "a report on a full disk ended with status $status, not 6: $(cat "$work/err")"
        [ -e "$work/full-left.json" ] && fail "a report was left on the full disk: $(cat "$work/full-left.json")"
        grep -q 'the report was not written: .*No space left' "$work/err" || fail "no reason on stderr: $(cat "$work/err")"
    fi
else
    skip "a full file system (needs unshare -m)"
fi

# --- The log: outside text stays on its line; a state folder not the user's own is refused ------
# A malformed FERROX_INJECT_FAULT carrying a line break and a terminal escape, as a line of its own.
esc=$(printf '\033')
rm -rf "$XDG_STATE_HOME"
FERROX_INJECT_FAULT="cpu=9
$(date '+%F %T') end after 01:00:00 (its duration ended): PASSED, 9999 checks, 0 errors${esc}[2J" \
    "$ferrox" --headless --threads 1 --duration 1s >"$work/out" 2>"$work/err"
[ "$(grep -c 'FERROX_INJECT_FAULT' "$work/err")" -eq 1 ] && [ "$(wc -l <"$work/err")" -eq 1 ] ||
    fail "the injected text made lines of its own on stderr: $(cat -A "$work/err")"
grep -q "$esc" "$work/err" "$log" && fail "a terminal escape reached stderr or the log"
[ "$(grep -c 'PASSED' "$log")" -eq 2 ] || fail "the injected text made a line of its own in the log: $(cat -A "$log")"
[ "$(stat -c %a "$XDG_STATE_HOME/ferrox"):$(stat -c %a "$log")" = "700:600" ] ||
    fail "the state folder and log are $(stat -c %a "$XDG_STATE_HOME/ferrox") and $(stat -c %a "$log"), not 700 and 600"

# Root with a state folder of another user's, who made the log a link to a root-only file.
if [ -z "$other_user" ]; then
    skip "a state folder of another user (needs root and runuser)"
else
    mkdir -p "$work/theirs/ferrox"
    chown -R nobody "$work/theirs"
    as_other ln -s "$work/secret/file" "$work/theirs/ferrox/ferrox.log"
    XDG_STATE_HOME=$work/theirs "$ferrox" --headless --threads 1 --duration 1s --report "$work/theirs.json" \
        >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 0 ] || fail "a refused log ended the run with status $status"
    [ "$(cat "$work/secret/file")" = "root only" ] || fail "the log was written into root's file: $(cat "$work/secret/file")"
    [ "$(grep -c 'the log is not kept' "$work/err")" -eq 1 ] || fail "not one warning about the log: $(cat "$work/err")"
    grep -q 'belongs to another user' "$work/err" || fail "the warning does not say why: $(cat "$work/err")"
    report "$work/theirs.json" 'not r["log"]["kept"]' '"belongs to another user" in r["log"]["problem"]'
fi

# A state folder on a read-only file system, and on one that is full.
if command -v unshare >/dev/null && unshare -m true 2>/dev/null; then
    for fs in read-only full; do
        rm -rf "$work/statefs"
        mkdir -p "$work/statefs"
        FERROX=$ferrox WORK=$work FS=$fs unshare -m bash -c '
            mount -t tmpfs -o size=64k tmpfs "$WORK/statefs" || exit 77
            mkdir -m 700 "$WORK/statefs/ferrox"
            if [ "$FS" = read-only ]; then mount -o remount,ro "$WORK/statefs" || exit 77
            else dd if=/dev/zero of="$WORK/statefs/filler" bs=4k 2>/dev/null; fi
            XDG_STATE_HOME=$WORK/statefs "$FERROX" --headless --threads 1 --duration 2s --report "$WORK/statefs.json" \
                >"$WORK/out" 2>"$WORK/err"'
        status=$?
        if [ $status -eq 77 ]; then skip "a $fs state folder (cannot mount one here)"; continue; fi
        [ $status -eq 0 ] || fail "a $fs state folder ended the run with status $status: $(cat "$work/err")"
        [ "$(grep -c 'the log is not kept' "$work/err")" -eq 1 ] || fail "$fs: not one warning about the log: $(cat "$work/err")"
        report "$work/statefs.json" 'not r["log"]["kept"]' 'r["log"]["problem"]' 'r["verdict"] == "passed"'
    done
else
    skip "read-only and full state folders (need unshare -m)"
fi

[ $failed -eq 0 ] && echo "ok: report and log runs"
exit $failed
