#!/usr/bin/env bash
# deploy/summarise-reports on sample reports: it counts the machines and their verdicts, names the
# failing machine with its failing processors and error count, takes the machine's name from the
# report or else the file name, and answers with the exit status a script can act on.
# Usage: summarise_reports_test.sh SUMMARISE DATA_DIR
set -u
summarise=${1:?usage: summarise_reports_test.sh SUMMARISE DATA_DIR}
data=${2:?usage: summarise_reports_test.sh SUMMARISE DATA_DIR}
if ! command -v python3 >/dev/null 2>&1; then
    echo "skipped: python3 is not installed"
    exit 77
fi
failed=0
fail() { echo "FAIL: $*"; failed=1; }
# Runs the summariser; sets out, err and status.
run() {
    out=$("$summarise" "$@" 2>"$scratch/err")
    status=$?
    err=$(cat "$scratch/err")
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

run "$data/reports"
echo "$out"
[ "$status" -eq 2 ] || fail "a machine with errors: status $status, want 2"
grep -qx 'Machines: 3' <<<"$out" || fail "want 3 machines"
grep -qx 'Verdicts: failed 1, passed 2' <<<"$out" || fail "want 2 passed and 1 failed"
grep -qE '^  node02  failed: 3 errors on processors 3, 5  \(Intel' <<<"$out" ||
    fail "node02 with processors 3 and 5 and 3 errors is not named"
grep -q 'node01\|node03' <<<"$(grep -A9 '^Failing:' <<<"$out")" && fail "a passing machine is listed as failing"

run "$data/reports/node01.json" "$data/reports/node03-task7.json"
[ "$status" -eq 0 ] || fail "passing machines only: status $status, want 0"
grep -qx 'Failing: none' <<<"$out" || fail "passing machines only: $out"

run "$data/reports/node01.json" "$data/broken"
[ "$status" -eq 1 ] || fail "an unreadable report: status $status, want 1"
grep -q 'node09.json: not a Ferrox report' <<<"$err" || fail "the unreadable report is not named: $err"
grep -qx 'Machines: 1 (1 unreadable reports)' <<<"$out" || fail "unreadable reports are not counted: $out"

run "$scratch"
[ "$status" -eq 1 ] || fail "no reports: status $status, want 1"

[ "$failed" -eq 0 ] && echo "summarise-reports: machines, verdicts, failing processors and status as expected"
exit "$failed"
