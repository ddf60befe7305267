#!/usr/bin/env bash
# Faults in the workers, through the real program run as a script runs it: each kind that
# FERROX_INJECT_FAULT can cause ends with its verdict, its exit status and an error attributed to
# the processor it happened on, described in full on stderr and in the report; a stuck worker never
# holds the program; workers the system will not start make the run incomplete; the classic mixes
# never say PASSED.
set -u
ferrox=${1:?usage: worker_faults.sh path/to/ferrox}
command -v python3 >/dev/null || { echo "skipped: python3 is needed to read the reports"; exit 77; }
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM FERROX_INJECT_FAULT
# shellcheck source=tests/cli/report_checks.sh
. "$(dirname "$0")/report_checks.sh"

processors=$(nproc)
faulty=$((processors > 1 ? 1 : 0))

# A wrong bit in the kernel's state or in its work area, a crash: each an error of the processor,
# status 2; the crashed worker starts afresh and goes on.
for kind in kernel,bit=0 kernel,bit=63 work-area,bit=3 crash; do
    name=${kind%%,*}
    FERROX_INJECT_FAULT="cpu=$faulty,after=2,kind=$kind" "$ferrox" --headless --threads "$processors" --duration 3s \
        --report "$work/$name.json" >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 2 ] || fail "kind=$kind ended with status $status: $(cat "$work/err")"
    grep -q "^ferrox: error at .*worker $faulty on processor $faulty" "$work/err" ||
        fail "kind=$kind: no attributed error on stderr: $(cat "$work/err")"
    report "$work/$name.json" 'r["verdict"] == "failed"' "r['failing_processors'] == [$faulty]" \
        "r['errors'][0]['processor'] == $faulty" 'len(r["errors"]) == 1'
done
report "$work/kernel.json" 'r["errors"][0]["kind"] == "check failed"' 'r["errors"][0]["check"] == "kernel state"' \
    'r["errors"][0]["expected"] != r["errors"][0]["obtained"]'
report "$work/crash.json" 'r["errors"][0]["kind"] == "crashed"' 'r["errors"][0]["fault_address"] == "0x8"' \
    'r["errors"][0]["fault"].startswith("invalid memory access")' \
    "[w['restarts'] for w in r['workers'] if w['worker'] == $faulty] == [1]" \
    "[w['passes'] > 3 for w in r['workers'] if w['worker'] == $faulty] == [True]"
grep -q 'invalid memory access (SIGSEGV) at address 0x8 in its work' "$work/err" || fail "crash not described: $(cat "$work/err")"

# A pass that never ends: the watchdog names the worker's processor, and SIGTERM still ends
# Ferrox within seconds, with the report written.
FERROX_INJECT_FAULT="cpu=$faulty,after=2,kind=hang" "$ferrox" --headless --threads "$processors" \
    --report "$work/hang.json" >"$work/out" 2>"$work/err" &
pid=$!
for _ in $(seq 1 600); do
    grep -q 'stopped responding' "$work/err" && break
    sleep 0.1
done
grep -q "^ferrox: error at .*worker $faulty on processor $faulty.* stopped responding" "$work/err" ||
    fail "the stuck worker was not found within a minute: $(cat "$work/err")"
started=$(date +%s%N)
kill -s TERM $pid
wait $pid
status=$?
took=$((($(date +%s%N) - started) / 1000000))
[ $status -eq 2 ] || fail "a stuck worker: status $status"
[ $took -lt 3000 ] || fail "SIGTERM with a stuck worker took $took ms"
report "$work/hang.json" 'r["errors"][0]["kind"] == "stopped responding"' "r['errors'][0]['processor'] == $faulty" \
    'r["errors"][0]["stuck_seconds"] >= 2' "[w['state'] for w in r['workers'] if w['worker'] == $faulty] == ['stopped responding']"

# Stuck just before the end: the stop waits five seconds at most, then judges the worker.
FERROX_INJECT_FAULT="cpu=$faulty,after=1,kind=hang" timeout 60 "$ferrox" --headless --threads "$processors" \
    --duration 2s --report "$work/late.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 2 ] || [ $status -eq 4 ] || fail "a worker stuck at the end: status $status"
report "$work/late.json" 'r["verdict"] in ("failed", "incomplete")' 'r["run_seconds"] < 10'

# The classic mixes never say PASSED: their own arithmetic is not checked.
"$ferrox" --headless --load builtin --threads 1 --duration 2s --report "$work/classic.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 7 ] || fail "a classic mix's run ended with status $status"
tail -n 1 "$work/out" | grep -q '^NO ERRORS SEEN (classic mix: results not self-checked) after 00:00:02' ||
    fail "classic summary: $(tail -n 1 "$work/out")"
report "$work/classic.json" 'r["verdict"] == "no errors seen"' 'not r["self_checked"]'

# Workers the system will not start (a process limit, as in a container): INCOMPLETE, status 4,
# with the system's reason. RLIMIT_NPROC binds only an ordinary user and counts all its tasks: run
# as nobody, whose tasks can be counted first.
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && runuser -u nobody -- true 2>/dev/null; then
    out=$work/nobody
    mkdir -p "$out" && chown nobody "$out"
    others=$(ps -L -u nobody --no-headers 2>/dev/null | wc -l)
    # Room for Ferrox's main thread and one more (a worker, or the sensor thread where there are
    # sensors): at least two of the three workers are refused.
    runuser -u nobody -- env XDG_STATE_HOME="$out/state" bash -c \
        "ulimit -u $((others + 2)) && exec \"\$0\" --headless --threads 3 --duration 2s --report \"\$1\"" \
        "$ferrox" "$out/limited.json" >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 4 ] || fail "refused workers: status $status: $(cat "$work/err")"
    grep -q '[23] of 3 workers could not start: Resource temporarily unavailable' "$work/err" ||
        fail "no reason given: $(cat "$work/err")"
    report "$out/limited.json" 'r["verdict"] == "incomplete"' '"of 3 workers could not start" in r["verdict_reason"]' \
        'len(r["workers"]) <= 1'
else
    echo "note: not root (or no user nobody): the process-limit case needs an ordinary user's count of tasks; skipped"
fi

[ $failed -eq 0 ] && echo "ok: worker faults"
exit $failed
