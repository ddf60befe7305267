#!/usr/bin/env bash
# The real Ferrox with --metrics, headless and in the window (Qt's offscreen platform): the file
# passes promtool check metrics while the run goes on and after it, is rewritten every 5 s of run
# time, its figures equal the report's, a fault shows in the verdict and its processor, paths that
# cannot be written are refused before the run, a write that fails during the run is one warning
# and the run goes on, one that fails at the end is status 6, and a machine name with quotes and
# backslashes reads back as it is.
set -u
ferrox=${1:?usage: metrics_runs.sh path/to/ferrox}
for tool in python3 promtool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/setup installs it)"; exit 77; }
done
work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$work/runtime"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failed=0
fail() { echo "FAIL: $*"; failed=1; }
skip() { echo "skipped: $*"; }

# valid FILE WHAT: promtool accepts the exposition in FILE (a copy: Ferrox may replace it meanwhile).
valid() {
    cp "$1" "$work/check.prom" 2>/dev/null || { fail "$2: no metrics file"; return; }
    promtool check metrics <"$work/check.prom" >"$work/promtool.out" 2>&1 ||
        fail "$2: promtool check metrics: $(cat "$work/promtool.out")"
}

# metrics FILE [REPORT] PYTHON-EXPRESSION...: each expression must hold, over v(name, **labels)
# (the value of that one series, None when it is absent), series(name) (its label sets) and r
# (the JSON report, when given).
metrics() {
    local file=$1 report=$2; shift 2
    python3 - "$file" "$report" "$@" <<'PY' || failed=1
import json, re, sys
values = {}
line_re = re.compile(r'^([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(.*)\})? (\S+)$')
label_re = re.compile(r'([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\.)*)",?')
def unescape(text):
    return re.sub(r'\\(.)', lambda m: {'n': '\n'}.get(m.group(1), m.group(1)), text)
for line in open(sys.argv[1], encoding="utf-8"):
    if line.startswith("#"):
        continue
    m = line_re.match(line.rstrip("\n"))
    assert m, "unreadable line: " + line
    labels = frozenset((k, unescape(v)) for k, v in label_re.findall(m.group(3) or ""))
    values[(m.group(1), labels)] = float(m.group(4))
def v(name, **labels):
    return values.get((name, frozenset((k, str(x)) for k, x in labels.items())))
def series(name):
    return [dict(l) for n, l in values if n == name]
def at(p):  # a report processor's labels
    return {k: p[k] for k in ("processor", "core", "package") if p.get(k) is not None}
def near(a, b, within):
    return a is not None and b is not None and abs(a - b) <= within
r = json.load(open(sys.argv[2])) if sys.argv[2] else None
for check in sys.argv[3:]:
    if not eval(check):
        print("FAIL: metrics " + sys.argv[1] + ": " + check + " does not hold")
        print(open(sys.argv[1]).read())
        sys.exit(1)
PY
}

# value FILE NAME: the value of an unlabelled series ("" when absent).
value() { sed -n "s/^$2 //p" "$1" 2>/dev/null; }

# --- A clean headless run: sampled while it goes on, then compared with its report -------------
"$ferrox" --headless --threads 2 --duration 8s --metrics "$work/run.prom" --report "$work/run.json" \
    >"$work/out" 2>"$work/err" &
pid=$!
pids+=("$pid")
seen=()  # run seconds of each distinct write seen while the run went on
samples=0
while kill -0 "$pid" 2>/dev/null; do
    if cp "$work/run.prom" "$work/sample.prom" 2>/dev/null && [ "$(value "$work/sample.prom" ferrox_run_ended)" = 0 ]; then
        at=$(value "$work/sample.prom" ferrox_run_seconds)
        if [ "${#seen[@]}" -eq 0 ] || [ "${seen[-1]}" != "$at" ]; then
            seen+=("$at")
            valid "$work/sample.prom" "during the run (at $at s)"
            metrics "$work/sample.prom" "" 'v("ferrox_verdict", verdict="passed") == 1' \
                'v("ferrox_last_update_timestamp_seconds") >= v("ferrox_run_start_timestamp_seconds")'
        fi
    fi
    samples=$((samples + 1))
    sleep 0.2
done
wait "$pid"
status=$?
[ $status -eq 0 ] || fail "the clean run ended with status $status: $(cat "$work/err")"
echo "writes seen during the run, at run seconds: ${seen[*]}"
[ "${#seen[@]}" -ge 2 ] || fail "saw ${#seen[@]} writes during an 8 s run (want one at the start and one 5 s later)"
python3 -c '
import sys
seen = [float(x) for x in sys.argv[1:]]
assert seen and seen[0] < 2.5, "no write at the start: %s" % seen
gaps = [b - a for a, b in zip(seen, seen[1:])]
assert all(g >= 4.99 for g in gaps), "writes closer than 5 s apart: %s" % seen' "${seen[@]}" ||
    fail "the writes during the run were not 5 s apart"
valid "$work/run.prom" "after the run"
metrics "$work/run.prom" "$work/run.json" \
    'v("ferrox_run_ended") == 1' \
    'v("ferrox_verdict", verdict="passed") == 1' \
    'sum(v("ferrox_verdict", verdict=k) for k in ("passed", "failed", "incomplete", "stopped", "no errors seen")) == 1' \
    'near(v("ferrox_run_seconds"), r["run_seconds"], 0.0005 + 1e-9)' \
    'v("ferrox_checks_total") == r["checks"] > 0' \
    'v("ferrox_errors_total") == r["error_count"] == 0' \
    'len(series("ferrox_processor_checks_total")) == len(r["processors"]) == 2' \
    'all(v("ferrox_processor_checks_total", **at(p)) == p["checks"] for p in r["processors"])' \
    'all(v("ferrox_processor_errors_total", **at(p)) == 0 for p in r["processors"])' \
    'all(near(v("ferrox_processor_loaded_ratio", **at(p)), p["loaded_share"], 0.0005 + 1e-9) for p in r["processors"])' \
    'all(near(v("ferrox_processor_effective_clock_hertz", **at(p)), p["effective_clock_mhz"] * 1e6, 0.05e6 + 1) for p in r["processors"] if p["effective_clock_mhz"] is not None)' \
    'v("ferrox_throttling_episodes_total") == r["monitor"]["throttling"]["episode_count"]' \
    '(v("ferrox_hottest_temperature_celsius") is None) == (r["sensors"]["hottest_celsius"] is None)' \
    '(v("ferrox_package_power_watts") is None) == (r["sensors"]["package_watts"] is None)' \
    'series("ferrox_run_info") == [{"machine": r["machine"]["name"], "version": r["ferrox_version"], "kernel": r["settings"]["kernel"]}]' \
    'v("ferrox_memory_bandwidth_bytes_per_second") is None'

# --- A wrong result on processor 1: the verdict and the processor say so ------------------------
FERROX_INJECT_FAULT=cpu=1,after=2 "$ferrox" --headless --threads 2 --duration 3s --metrics "$work/fault.prom" \
    --report "$work/fault.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 2 ] || fail "the faulty run ended with status $status"
valid "$work/fault.prom" "after a faulty run"
metrics "$work/fault.prom" "$work/fault.json" \
    'v("ferrox_verdict", verdict="failed") == 1 and v("ferrox_verdict", verdict="passed") == 0' \
    'v("ferrox_errors_total") == r["error_count"] >= 1' \
    '[s["processor"] for s in series("ferrox_processor_errors_total") if v("ferrox_processor_errors_total", **s) > 0] == ["1"]'

# --- The window: its timer writes the file, and the final figures as soon as the duration ends --
QT_QPA_PLATFORM=offscreen "$ferrox" --threads 1 --duration 3s --no-animation --metrics "$work/window.prom" \
    --report "$work/window.json" >"$work/out" 2>"$work/err" &
pid=$!
pids+=("$pid")
for _ in $(seq 100); do [ -s "$work/window.prom" ] && break; sleep 0.1; done
valid "$work/window.prom" "while the window runs"
metrics "$work/window.prom" "" 'v("ferrox_run_ended") == 0'
# The window stays open with the verdict; the file has it already.
for _ in $(seq 150); do [ "$(value "$work/window.prom" ferrox_run_ended)" = 1 ] && break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null || fail "the window closed by itself at the end of its duration"
metrics "$work/window.prom" "" 'v("ferrox_run_ended") == 1' 'v("ferrox_verdict", verdict="passed") == 1' \
    'v("ferrox_run_seconds") >= 3'
kill -TERM "$pid"
wait "$pid"
status=$?
[ $status -eq 0 ] || fail "the window run ended with status $status: $(cat "$work/err")"
valid "$work/window.prom" "after the window closed"
metrics "$work/window.prom" "$work/window.json" 'v("ferrox_run_ended") == 1' 'v("ferrox_checks_total") == r["checks"] > 0' \
    'v("ferrox_verdict", verdict=r["verdict"]) == 1' 'near(v("ferrox_run_seconds"), r["run_seconds"], 0.0005 + 1e-9)'

# --- Paths that cannot be written are refused before the run: status 1, one line ----------------
mkfifo "$work/fifo"
echo "keep" >"$work/target"
ln -s "$work/target" "$work/link.prom"
mkdir "$work/folder.prom"
for target in fifo link.prom folder.prom missing/ferrox.prom; do
    timeout 20 "$ferrox" --headless --threads 1 --duration 1s --metrics "$work/$target" >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 1 ] || fail "--metrics $target ended with status $status"
    [ "$(grep -c . "$work/err")" -eq 1 ] && grep -q '^ferrox: --metrics cannot be written: ' "$work/err" ||
        fail "--metrics $target: stderr was: $(cat "$work/err")"
    [ -s "$work/out" ] && fail "--metrics $target started a run: $(head -n 2 "$work/out")"
done
[ "$(cat "$work/target")" = keep ] || fail "the file behind the link was written"
[ -p "$work/fifo" ] && [ -d "$work/folder.prom" ] || fail "the FIFO or the folder was replaced"
timeout 20 "$ferrox" --headless --metrics - >"$work/out" 2>"$work/err"
[ $? -eq 1 ] && grep -q -- '--metrics needs a file name' "$work/err" || fail "--metrics - was not refused: $(cat "$work/err")"

# --- A folder that goes away during the run: one warning, the run goes on; back before the end:
# written again and status 0; still gone at the end: a line of its own and status 6 --------------
log=$XDG_STATE_HOME/ferrox/ferrox.log
for outcome in back gone; do
    rm -rf "$work/textfile" "$work/textfile.away"
    mkdir "$work/textfile"
    "$ferrox" --headless --threads 1 --metrics "$work/textfile/ferrox.prom" >"$work/out" 2>"$work/err" &
    pid=$!
    pids+=("$pid")
    for _ in $(seq 100); do [ -s "$work/textfile/ferrox.prom" ] && break; sleep 0.1; done
    mv "$work/textfile" "$work/textfile.away"
    for _ in $(seq 150); do grep -q 'the metrics file was not written' "$work/err" && break; sleep 0.1; done
    grep -q '^ferrox: the metrics file was not written: .*(tried again every 5 s, said once)$' "$work/err" ||
        fail "$outcome: no warning within 15 s of the folder going: $(cat "$work/err")"
    # At least one more failed write (5 s of run time later), said no more.
    sleep 5.5
    kill -0 "$pid" 2>/dev/null || fail "$outcome: the run ended after a failed write"
    [ "$outcome" = back ] && mv "$work/textfile.away" "$work/textfile" && rm -f "$work/textfile/ferrox.prom"
    if [ "$outcome" = back ]; then
        for _ in $(seq 100); do [ -s "$work/textfile/ferrox.prom" ] && break; sleep 0.1; done
        [ -s "$work/textfile/ferrox.prom" ] || fail "back: the file was not written again within 10 s"
    fi
    kill -TERM "$pid"
    wait "$pid"
    status=$?
    [ "$(grep -c 'the metrics file was not written: ' "$work/err")" -eq 1 ] ||
        fail "$outcome: not one warning during the run: $(cat "$work/err")"
    if [ "$outcome" = back ]; then
        [ $status -eq 0 ] || fail "back: status $status: $(cat "$work/err")"
        metrics "$work/textfile/ferrox.prom" "" 'v("ferrox_run_ended") == 1' 'v("ferrox_verdict", verdict="passed") == 1'
    else
        [ $status -eq 6 ] || fail "gone: status $status, not 6: $(cat "$work/err")"
        [ "$(grep -c '^ferrox: the metrics file was not written at the end of the run: ' "$work/err")" -eq 1 ] ||
            fail "gone: no line for the end: $(cat "$work/err")"
        grep -q 'the metrics file was not written at the end of the run: ' "$log" || fail "gone: not in the log"
        grep -q '^PASSED after' "$work/out" || fail "gone: no verdict on stdout: $(tail -n 1 "$work/out")"
        [ -e "$work/textfile.away/ferrox.prom" ] && metrics "$work/textfile.away/ferrox.prom" "" 'v("ferrox_run_ended") == 0'
    fi
done

# --- A machine name with quotes, backslashes and a line break reads back as it is ---------------
if command -v unshare >/dev/null && unshare -u true 2>/dev/null; then
    name=$'odd "node" \\ 7\nx'
    unshare -u python3 -c 'import os, socket, sys; socket.sethostname(sys.argv[1]); os.execv(sys.argv[2], sys.argv[2:])' \
        "$name" "$ferrox" --headless --threads 1 --duration 1s --metrics "$work/name.prom" >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 0 ] || fail "the run with an odd machine name ended with status $status: $(cat "$work/err")"
    valid "$work/name.prom" "an odd machine name"
    NAME=$name metrics "$work/name.prom" "" '__import__("os").environ["NAME"] == series("ferrox_run_info")[0]["machine"]'
else
    skip "a machine name with quotes (needs unshare -u)"
fi

[ $failed -eq 0 ] && echo "ok: metrics runs"
exit $failed
