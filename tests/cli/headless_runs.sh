#!/usr/bin/env bash
# Ferrox run as a script runs it, without a display: status lines, stderr, exit status, the JSON
# report (also after a signal), and bad options refused before anything starts.
set -u
ferrox=${1:?usage: headless_runs.sh path/to/ferrox}
command -v python3 >/dev/null || { echo "skipped: python3 is needed to read the reports"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# shellcheck source=tests/cli/report_checks.sh
. "$(dirname "$0")/report_checks.sh"

# A clean run: status 0, a status line a second, the verdict, a complete report.
"$ferrox" --headless --threads 2 --duration 3s --report "$work/clean.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 0 ] || fail "clean run ended with status $status: $(cat "$work/err")"
lines=$(grep -c -E ' at .* MHz, cores .* checks passed, 0 errors, loaded [0-9]+% or more \(least: processor [0-9]+\)$' "$work/out")
[ "$lines" -ge 2 ] || fail "clean run printed $lines status lines: $(cat "$work/out")"
tail -n 1 "$work/out" | grep -q '^PASSED after 00:00:03' || fail "no PASSED summary: $(tail -n 1 "$work/out")"
report "$work/clean.json" 'r["verdict"] == "passed"' 'len(r["workers"]) == 2' 'r["error_count"] == 0' \
    'r["checks"] > 0' 'r["settings"]["threads"] == 2' 'r["settings"]["duration_seconds"] == 3' \
    'r["machine"]["logical_processors"] >= 1' 'r["machine"]["processor_model"] != ""' \
    'r["end_reason"] == "its duration ended"' 'all(w["checks"] > 0 for w in r["workers"])' \
    'r["clock"]["effective"]["samples"] > 0'
# The run's clock figures are its series' (one definition, the same samples): the lowest, highest
# and the count of the Monitor's clock series, not of every probe.
clocks='[s for s in r["monitor"]["series"] if s["key"].startswith("Effective clock/")]'
report "$work/clean.json" "abs(r['clock']['effective']['min_mhz'] - min(s['min'] for s in $clocks) / 1e6) <= 0.051" \
    "abs(r['clock']['effective']['max_mhz'] - max(s['max'] for s in $clocks) / 1e6) <= 0.051" \
    "r['clock']['effective']['samples'] == sum(s['samples'] for s in $clocks)"

# An injected fault on processor 1: status 2, the error on stderr with its processor, JSON status
# lines, and the report attributing it.
FERROX_INJECT_FAULT=cpu=1,after=2 "$ferrox" --headless --json --threads 2 --duration 3s \
    --report "$work/fault.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 2 ] || fail "faulty run ended with status $status"
grep -q '^ferrox: error at .*processor 1' "$work/err" || fail "no attributed error on stderr: $(cat "$work/err")"
python3 -c '
import json, sys
lines = [json.loads(line) for line in open(sys.argv[1])]
status, summary = lines[:-1], lines[-1]
assert len(status) >= 2 and all("checks" in l and len(l["workers"]) == 2 for l in status), status
assert status[-1]["errors"] >= 1
assert summary["summary"] and summary["verdict"] == "failed" and summary["exit_status"] == 2, summary
assert summary["failing_processors"] == [1], summary' "$work/out" || fail "JSON lines: $(cat "$work/out")"
report "$work/fault.json" 'r["verdict"] == "failed"' 'r["failing_processors"] == [1]' \
    'r["errors"][0]["processor"] == 1' 'r["errors"][0]["expected"] != r["errors"][0]["obtained"]' \
    '[p["errors"] > 0 for p in r["processors"] if p["processor"] == 1] == [True]'

# --stop-on-error ends the run at the first error, long before its duration.
FERROX_INJECT_FAULT=cpu=0,after=1 timeout 30 "$ferrox" --headless --threads 2 --duration 1h --stop-on-error \
    --report "$work/stop.json" >"$work/out" 2>&1
status=$?
[ $status -eq 2 ] || fail "--stop-on-error ended with status $status"
report "$work/stop.json" 'r["run_seconds"] < 20' '"--stop-on-error" in r["end_reason"]'

# Each ending signal stops the workers and still writes the whole report: without a duration it
# is the user's way to end the run (status 0 without errors); before the duration's end it makes
# the run incomplete (status 4, with the reason).
for signal in TERM INT HUP; do
    "$ferrox" --headless --threads 2 --report "$work/$signal.json" >"$work/out" 2>&1 &
    pid=$!
    sleep 1.5
    kill -s $signal $pid
    wait $pid
    status=$?
    [ $status -eq 0 ] || fail "SIG$signal ended with status $status"
    report "$work/$signal.json" "r['end_reason'] == 'SIG$signal'" 'r["verdict"] == "passed"'
    grep -q "^PASSED after .*SIG$signal" "$work/out" || fail "SIG$signal: no summary line: $(tail -n 2 "$work/out")"
done
"$ferrox" --headless --threads 2 --duration 1m --report "$work/early.json" >"$work/out" 2>&1 &
pid=$!
sleep 1.5
kill -s TERM $pid
wait $pid
status=$?
[ $status -eq 4 ] || fail "SIGTERM before the duration's end ended with status $status"
report "$work/early.json" 'r["verdict"] == "incomplete"' \
    'r["verdict_reason"].startswith("stopped (SIGTERM) after 00:00:01 of 00:01:00")'
grep -q '^INCOMPLETE (stopped (SIGTERM) after 00:00:01 of 00:01:00)' "$work/out" ||
    fail "no INCOMPLETE summary: $(tail -n 1 "$work/out")"
# A reader that goes away (a closed pipe) ends the run in order: no death by SIGPIPE, the report
# is written and the status is the run's.
timeout 30 "$ferrox" --headless --threads 1 --duration 1h --report "$work/pipe.json" 2>"$work/err" | head -n 1 >/dev/null
status=${PIPESTATUS[0]}
[ "$status" -eq 4 ] || fail "a closed output pipe ended the run with status $status: $(cat "$work/err")"
report "$work/pipe.json" 'r["end_reason"] == "its output was closed"' 'r["run_seconds"] < 20' \
    'r["verdict"] == "incomplete"'

# The reports' temporary files are named <report>.partial-<random>: none may be left.
ls -A "$work" | grep -q '\.partial-' && fail "a temporary report was left: $(ls -A "$work")"

# Refused before the run: status 1 and one line on stderr, nothing written.
for arguments in "--threads 0" "--priority idle" "--report $work/missing/dir/r.json"; do
    # shellcheck disable=SC2086
    timeout 10 "$ferrox" --headless $arguments >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 1 ] || fail "'$arguments' ended with status $status"
    [ "$(grep -c . "$work/err")" -eq 1 ] || fail "'$arguments': stderr was: $(cat "$work/err")"
    [ -s "$work/out" ] && fail "'$arguments' printed: $(cat "$work/out")"
done
[ -e "$work/missing" ] && fail "a refused report path was created"

# Sensors below FERROX_SYSFS_ROOT reach the status lines and the report; a root that is not there
# is one warning, and the run goes on without sensors.
mkdir -p "$work/sys/sys/class/hwmon/hwmon0"
echo k10temp >"$work/sys/sys/class/hwmon/hwmon0/name"
echo 61250 >"$work/sys/sys/class/hwmon/hwmon0/temp1_input"
echo Tctl >"$work/sys/sys/class/hwmon/hwmon0/temp1_label"
FERROX_SYSFS_ROOT=$work/sys "$ferrox" --headless --threads 1 --duration 2s --report "$work/sensors.json" >"$work/out" 2>"$work/err"
grep -q -E 'hottest 61.3 °C(,|$)' "$work/out" || fail "no temperature in the status lines: $(cat "$work/out")"
report "$work/sensors.json" 'r["sensors"]["hottest_celsius"] == 61.3' 'r["sensors"]["hottest_label"] == "k10temp Tctl"' \
    'r["sensors"]["package_watts"] is None' 'r["monitor"]["sensors_found"]' \
    '[s["max"] for s in r["monitor"]["series"] if s["unit"] == "celsius"] == [61.25]' \
    'all(s["min"] > 1e8 for s in r["monitor"]["series"] if s["unit"] == "hertz")'
FERROX_SYSFS_ROOT=$work/nowhere "$ferrox" --headless --threads 1 --duration 1s --report "$work/nosensors.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 0 ] || fail "a missing sensor root ended the run with status $status"
grep -q "FERROX_SYSFS_ROOT" "$work/err" || fail "no warning about the sensor root: $(cat "$work/err")"
report "$work/nosensors.json" 'r["sensors"]["hottest_celsius"] is None' 'not r["monitor"]["sensors_found"]'

# --report - writes the report on stdout after the summary; with --json as one line, so that every
# line on stdout is one JSON object.
"$ferrox" --headless --threads 1 --duration 2s --report - >"$work/out" 2>/dev/null
sed -n '/^{/,$p' "$work/out" >"$work/stdout.json"
report "$work/stdout.json" 'r["verdict"] == "passed"'
"$ferrox" --headless --json --threads 1 --duration 2s --report - >"$work/out" 2>/dev/null
python3 -c '
import json, sys
lines = [json.loads(line) for line in open(sys.argv[1])]
assert lines[-2]["summary"] and lines[-2]["exit_status"] == 0 and lines[-2]["verdict"] == "passed", lines[-2]
assert lines[-1]["verdict"] == "passed" and "machine" in lines[-1], lines[-1]' "$work/out" ||
    fail "--json --report -: not one JSON object a line: $(cat "$work/out")"

# An ordinary user asking for a priority it may not have: said on stderr and in the log, and the
# report gives both the asked-for and the applied priority.
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && runuser -u nobody -- true 2>/dev/null; then
    chmod 711 "$work" && mkdir -p "$work/nobody" && chown nobody "$work/nobody"
    runuser -u nobody -- env XDG_STATE_HOME="$work/nobody/state" "$ferrox" --headless --threads 1 --priority high \
        --duration 1s --report "$work/nobody/priority.json" >"$work/out" 2>"$work/err"
    grep -q '^ferrox: priority high was not applied (.*): the workers run at normal' "$work/err" ||
        fail "no word of the priority not applied: $(cat "$work/err")"
    grep -q 'priority high was not applied' "$work/nobody/state/ferrox/ferrox.log" || fail "the log does not say it"
    report "$work/nobody/priority.json" 'r["settings"]["priority"] == "high"' 'r["settings"]["applied_priority"] == "normal"'
else
    echo "note: not root (or no user nobody): the ordinary user's priority case is skipped"
fi

[ $failed -eq 0 ] && echo "ok: headless runs"
exit $failed
