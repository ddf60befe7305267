#!/usr/bin/env bash
# The container's ferrox-node-run (deploy/container/run-node.sh) with a stand-in ferrox on PATH:
# it passes the duration and report on, renames the report once complete, keeps Ferrox's status
# beside it, ends 0 for a verdict (0 or 2) and with Ferrox's status when Ferrox could not run,
# and passes a SIGTERM on so that Ferrox still writes its report; options after REPORT (--stay) go
# to Ferrox, and a staying pod that is ended takes its --metrics file with it.
# Usage: run_node_test.sh RUN_NODE
set -u
run_node=${1:?usage: run_node_test.sh RUN_NODE}
work=$(mktemp -d)
# A stand-in left running by a broken ferrox-node-run is ended by the pid it wrote.
trap '[ -s "$work/pid" ] && kill -KILL "$(cat "$work/pid")" 2>/dev/null; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The stand-in records its arguments, writes a report to the --report file (and figures to the
# --metrics file) and exits with FAKE_STATUS (3: no report, as when Ferrox cannot start); with
# FAKE_WAIT it runs until SIGTERM.
mkdir "$work/bin"
cat >"$work/bin/ferrox" <<'FAKE'
#!/bin/sh
echo $$ >"$FAKE_PID"
echo "$*" >"$FAKE_ARGS"
metrics=
while [ $# -gt 0 ]; do
    [ "$1" = --report ] && report=$2
    [ "$1" = --metrics ] && metrics=$2
    case $1 in --metrics=*) metrics=${1#--metrics=} ;; esac
    shift
done
[ -n "$metrics" ] && echo 'ferrox_run_ended 0' >"$metrics"
finish() { [ "$FAKE_STATUS" -ne 3 ] && echo '{"verdict": "pass"}' >"$report"; exit "$FAKE_STATUS"; }
trap 'echo term >"$FAKE_ARGS.signal"; finish' TERM
if [ -n "${FAKE_WAIT:-}" ]; then
    while :; do sleep 0.1; done
fi
finish
FAKE
chmod +x "$work/bin/ferrox"
export PATH="$work/bin:$PATH" FAKE_ARGS="$work/args" FAKE_PID="$work/pid" FERROX_DURATION=90s

for case in "0 0" "2 0" "1 1" "3 3"; do
    read -r ferrox_status want <<<"$case"
    rm -f "$work"/report.json*
    FAKE_STATUS=$ferrox_status "$run_node" "$work/report.json" >/dev/null
    status=$?
    [ "$status" -eq "$want" ] || fail "ferrox status $ferrox_status: ferrox-node-run ended $status, want $want"
    [ "$(cat "$work/report.json.status" 2>/dev/null)" = "$ferrox_status" ] ||
        fail "ferrox status $ferrox_status: report.json.status does not hold it"
    [ ! -e "$work/report.json.part" ] || fail "ferrox status $ferrox_status: the temporary report is left"
    if [ "$ferrox_status" -ne 3 ] && [ ! -s "$work/report.json" ]; then
        fail "ferrox status $ferrox_status: no report.json"
    fi
done
[ "$(cat "$work/args")" = "--headless --duration 90s --report $work/report.json.part" ] ||
    fail "ferrox was run as: $(cat "$work/args")"

# A SIGTERM while Ferrox runs.
rm -f "$work"/report.json*
FAKE_STATUS=0 FAKE_WAIT=1 "$run_node" "$work/report.json" >/dev/null &
pid=$!
for _ in $(seq 50); do [ -e "$work/args" ] && [ "$(cat "$work/args")" != "" ] && break; sleep 0.1; done
rm -f "$work/args.signal"
sleep 0.3
kill -TERM "$pid"
wait "$pid"
status=$?
[ "$(cat "$work/args.signal" 2>/dev/null)" = term ] || fail "the SIGTERM did not reach ferrox"
[ "$status" -eq 0 ] || fail "after a SIGTERM ferrox-node-run ended $status, want 0"
[ -s "$work/report.json" ] || fail "after a SIGTERM there is no report"

# Options after REPORT go to Ferrox as they are; without --stay (a Job) the metrics file stays.
rm -f "$work"/report.json* "$work/ferrox.prom"
FAKE_STATUS=0 "$run_node" "$work/report.json" --metrics "$work/ferrox.prom" --threads 2 >/dev/null
[ "$(cat "$work/args")" = "--headless --duration 90s --report $work/report.json.part --metrics $work/ferrox.prom --threads 2" ] ||
    fail "with options, ferrox was run as: $(cat "$work/args")"
[ -s "$work/ferrox.prom" ] || fail "without --stay the metrics file was removed"

# A staying pod (a DaemonSet's) that is ended, after its run or during it, removes its metrics
# file (either way of writing --metrics) and ends with 0.
for case in "after --metrics" "after --metrics=" "during --metrics"; do
    read -r when form <<<"$case"
    rm -f "$work"/report.json* "$work/ferrox.prom" "$work/args"
    if [ "$form" = "--metrics" ]; then metrics_args=(--metrics "$work/ferrox.prom"); else metrics_args=("--metrics=$work/ferrox.prom"); fi
    wait_flag=
    [ "$when" = during ] && wait_flag=1
    FAKE_STATUS=0 FAKE_WAIT=$wait_flag "$run_node" "$work/report.json" --stay "${metrics_args[@]}" >/dev/null &
    pid=$!
    # Until the stand-in has written its figures (and, after the run, until the report is there).
    for _ in $(seq 50); do
        [ -s "$work/ferrox.prom" ] && { [ "$when" = during ] || [ -s "$work/report.json" ]; } && break
        sleep 0.1
    done
    [ -s "$work/ferrox.prom" ] || fail "$case: the stand-in wrote no metrics file"
    sleep 0.3
    kill -0 "$pid" 2>/dev/null || fail "$case: ferrox-node-run --stay did not stay"
    children=$(pgrep -P "$pid")
    kill -TERM "$pid"
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
        fail "$case: a staying ferrox-node-run still runs 5 s after SIGTERM"
        children="$children $(pgrep -P "$pid")"
        kill -KILL "$pid"
    fi
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || [ "$status" -eq 137 ] || fail "$case: a staying ferrox-node-run ended $status, want 0"
    # Nothing of it is left running (its sleep included); a leftover is ended by its pid.
    sleep 0.2
    for child in $children; do
        state=$(ps -o stat= -p "$child" 2>/dev/null)
        if [ -n "$state" ] && [[ $state != Z* ]]; then
            fail "$case: ferrox-node-run left process $child running: $(ps -o cmd= -p "$child")"
            kill -KILL "$child" 2>/dev/null
        fi
    done
    [ ! -e "$work/ferrox.prom" ] || fail "$case: the metrics file was left behind by the ended pod"
    [ -s "$work/report.json" ] || fail "$case: no report"
done

[ "$failed" -eq 0 ] && echo "ferrox-node-run: statuses, report, SIGTERM, Ferrox's options and the metrics file handled"
exit "$failed"
