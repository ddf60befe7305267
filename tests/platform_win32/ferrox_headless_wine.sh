#!/usr/bin/env bash
# Runs the Windows Ferrox (ferrox.exe) headless under Wine: --version and a bad option answer on
# the streams the caller redirected, a short clean run exits 0 with its status lines and a report
# whose verdict is "passed", and a run with an injected fault (FERROX_INJECT_FAULT) exits 2 with a
# "failed" report naming the processor. Runs inside wine_session.sh (it starts one when not already
# inside). Exits 77 (skipped) when a tool is missing.
set -u
ferrox=${1:?usage: ferrox_headless_wine.sh path/to/ferrox.exe}
if [ -z "${FERROX_WINE_SESSION:-}" ]; then
    exec "$(dirname "$0")/wine_session.sh" "$0" "$@"
fi
command -v python3 >/dev/null 2>&1 || { echo "skipped: python3 is not installed"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    for file in "$work"/*.txt; do [ -s "$file" ] && { echo "--- $(basename "$file"):"; cat "$file"; }; done
    exit 1
}
# Windows' C library ends lines with CR LF on text streams: compared without the CR.
run() {
    "$FERROX_WINE" "$ferrox" "$@" >"$work/raw_out" 2>"$work/raw_err"
    local status=$?
    tr -d '\r' <"$work/raw_out" >"$work/out.txt"
    tr -d '\r' <"$work/raw_err" >"$work/err.txt"
    return $status
}
# The report's field, read by a JSON parser (so the file must be valid JSON).
field() { python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' "$1" "$2"; }

run --version
status=$?
[ "$status" -eq 0 ] || fail "--version exited with $status"
grep -qE '^ferrox [0-9]+\.[0-9]+\.[0-9]+$' "$work/out.txt" || fail "--version printed no version"

run --threads
status=$?
[ "$status" -eq 1 ] || fail "a missing value exited with $status, not 1"
grep -q "missing value after '--threads'" "$work/err.txt" || fail "no usage message on stderr"

# The report goes to a Windows path in the Wine prefix's drive C.
run --headless --threads 2 --duration 3s --report 'C:\passed.json'
status=$?
[ "$status" -eq 0 ] || fail "a clean run exited with $status, not 0"
report="$WINEPREFIX/drive_c/passed.json"
[ -s "$report" ] || fail "no report written"
[ "$(field "$report" verdict)" = passed ] || fail "verdict $(field "$report" verdict) in a clean run"
lines=$(grep -c 'checks passed' "$work/out.txt")
[ "$lines" -ge 3 ] || fail "only $lines status lines in a 3 s run"
grep -q '^PASSED after 00:00:0[34]' "$work/out.txt" || fail "no closing PASSED line"
echo "clean run: $lines status lines, verdict passed"

FERROX_INJECT_FAULT=cpu=1,after=2 run --headless --threads 2 --duration 3s --report 'C:\failed.json'
status=$?
[ "$status" -eq 2 ] || fail "a run with an injected fault exited with $status, not 2"
report="$WINEPREFIX/drive_c/failed.json"
[ "$(field "$report" verdict)" = failed ] || fail "verdict $(field "$report" verdict) with an injected fault"
[ "$(field "$report" failing_processors)" = "[1]" ] || fail "failing processors $(field "$report" failing_processors)"
grep -q 'Errors on processor 1' "$work/out.txt" || fail "the status lines do not name processor 1"
echo "faulty run: exit 2, verdict failed on processor 1"

# The memory load through the Win32 backend (VirtualAlloc, GlobalMemoryStatusEx): a clean run over
# 64 MiB passes with its bandwidth, and a flipped bit in its buffer is found with its address.
run --headless --load memory --memory 64M --threads 2 --duration 3s --report 'C:\memory.json'
status=$?
[ "$status" -eq 0 ] || fail "a memory load run exited with $status, not 0"
report="$WINEPREFIX/drive_c/memory.json"
python3 -c 'import json, sys; m = json.load(open(sys.argv[1]))["memory"]; sys.exit(not (m["verified_blocks"] > 256 and m["gb_per_second"] > 0))' \
    "$report" || fail "no verified blocks or bandwidth in the memory load's report"
FERROX_INJECT_FAULT=cpu=1,after=2,kind=memory,bit=17 run --headless --load memory --memory 64M --threads 2 --duration 3s
status=$?
[ "$status" -eq 2 ] || fail "a memory load run with a flipped bit exited with $status, not 2"
flipped=$(grep -o 'bit 17 of the word at 0x[0-9a-f]*' "$work/err.txt" | grep -o '0x[0-9a-f]*$')
[ -n "$flipped" ] && grep -q "memory load: the word at $flipped .*differs in bit 17" "$work/err.txt" ||
    fail "the flipped word was not named"
echo "memory load: clean run passed, flipped bit 17 found at $flipped"
