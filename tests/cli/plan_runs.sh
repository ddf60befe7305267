#!/usr/bin/env bash
# Test plans through the real program: a plan file runs its phases in turn and the report and the
# summary give each phase's verdict; a plan file with a mistake, or one that is not a file, is
# refused before anything starts, with the place of the mistake and status 1.
set -u
ferrox=${1:?usage: plan_runs.sh path/to/ferrox}
command -v python3 >/dev/null || { echo "skipped: python3 is needed to read the reports"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM FERROX_INJECT_FAULT
# shellcheck source=tests/cli/report_checks.sh
. "$(dirname "$0")/report_checks.sh"

cat >"$work/short.json" <<'PLAN'
{"name": "short", "phases": [
  {"name": "every processor", "duration": "2s"},
  {"name": "one at a time", "cycle": 1, "duration": 2},
  {"name": "on and off", "duration": "2s", "variable": {"period": "50ms", "on": 0.5}}
]}
PLAN
timeout 60 "$ferrox" --headless --plan "$work/short.json" --report "$work/plan.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 0 ] || [ $status -eq 7 ] || fail "a clean plan ended with status $status: $(cat "$work/err")"
grep -q '^plan short: \(PASSED\|NO ERRORS SEEN\); every processor \(PASSED\|NO ERRORS SEEN\) (00:00:02, [1-9][0-9]* checks, 0 errors); one at a time' "$work/out" ||
    fail "no plan line: $(tail -n 2 "$work/out")"
python3 - "$work/plan.json" <<'PY' || failed=1
import json, sys
r = json.load(open(sys.argv[1]))
p = r["plan"]
assert p["name"] == "short" and p["verdict"] == r["verdict"], p
assert [x["name"] for x in p["phases"]] == ["every processor", "one at a time", "on and off"], p
assert all(x["ran"] and x["checks"] > 0 and x["errors"] == 0 and x["verdict"] == r["verdict"] for x in p["phases"]), p
assert all(abs(x["ran_seconds"] - x["planned_seconds"]) < 1.0 for x in p["phases"]), p
assert r["end_reason"] == "its plan ended" and 5.5 < r["run_seconds"] < 9, r["run_seconds"]
assert r["settings"]["duration_seconds"] == 6, r["settings"]
PY
# With --json the summary object carries the plan too.
timeout 60 "$ferrox" --headless --json --plan "$work/short.json" >"$work/out" 2>/dev/null
tail -n 1 "$work/out" | python3 -c '
import json, sys
s = json.loads(sys.stdin.read())
assert s["summary"] and len(s["plan"]["phases"]) == 3, s' || fail "no plan in the JSON summary: $(tail -n 1 "$work/out")"

# Refused before the run: each mistake named with its place, status 1, no status line.
refuse() {  # WHAT TEXT-ON-STDERR ARGUMENTS...
    local what=$1 expected=$2; shift 2
    timeout 10 "$ferrox" --headless "$@" >"$work/out" 2>"$work/err"
    local status=$?
    [ $status -eq 1 ] || fail "$what: status $status"
    grep -qF -- "$expected" "$work/err" || fail "$what: stderr was: $(cat "$work/err")"
    [ -s "$work/out" ] && fail "$what: printed $(cat "$work/out")"
}
printf '{"phases": [{"duration": "1m", "load": "sse"}]}' >"$work/load.json"
refuse "a wrong load" "load.json: phases[0].load: must be widest, avx512, avx2, builtin, cache or memory" --plan "$work/load.json"
printf '{"phases": [\n  {"duration": "1m"\n]}' >"$work/syntax.json"
refuse "a JSON mistake" "syntax.json: line 3" --plan "$work/syntax.json"
refuse "no such plan" "nowhere.json" --plan "$work/nowhere.json"
mkfifo "$work/fifo.json"
refuse "a FIFO" "is not a regular file" --plan "$work/fifo.json"
refuse "a plan and a duration" "--plan decides --duration itself" --plan quick --duration 10m

[ $failed -eq 0 ] && echo "ok: plan runs"
exit $failed
