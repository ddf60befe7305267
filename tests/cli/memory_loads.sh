#!/usr/bin/env bash
# The cache and memory loads through the real program: a clean memory run passes with its bandwidth
# and verified blocks in the status lines and the report; a bit flipped by FERROX_INJECT_FAULT in a
# block of the buffer fails the run, and the error names the flipped word's address (the one the
# injection's note gives) and bit, with the block's writer and reader; the cache load finds a
# flipped bit in its data; sizes that do not fit are refused with status 1 before anything starts.
set -u
ferrox=${1:?usage: memory_loads.sh path/to/ferrox}
command -v python3 >/dev/null || { echo "skipped: python3 is needed to read the reports"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM FERROX_INJECT_FAULT
# shellcheck source=tests/cli/report_checks.sh
. "$(dirname "$0")/report_checks.sh"

processors=$(nproc)
faulty=$((processors > 1 ? 1 : 0))

# A clean run over a 64 MiB buffer.
"$ferrox" --headless --load memory --memory 64M --threads "$processors" --duration 3s --report "$work/clean.json" \
    >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 0 ] || fail "clean memory run: status $status: $(cat "$work/err")"
grep -q ', memory [0-9.]* GB/s, [0-9]* blocks verified' "$work/out" || fail "no bandwidth in the status lines: $(cat "$work/out")"
tail -n 1 "$work/out" | grep -q '^PASSED after 00:00:03 .*; memory [0-9.]* GB/s, [0-9]* blocks verified' ||
    fail "summary: $(tail -n 1 "$work/out")"
report "$work/clean.json" 'r["verdict"] == "passed"' 'r["settings"]["load"] == "memory"' 'r["memory"]["load"] == "memory"' \
    'r["memory"]["buffer_bytes"] == 64 << 20' 'r["memory"]["gb_per_second"] > 0' 'r["memory"]["verified_blocks"] > 256' \
    'r["memory"]["sweeps"] > 1' 'r["memory"]["checksum"] == "crc32c"' 'r["self_checked"]'

# Flipped bits in the buffer, found with their address and bit.
for bit in 0 17 63; do
    FERROX_INJECT_FAULT="cpu=$faulty,after=2,kind=memory,bit=$bit" "$ferrox" --headless --load memory --memory 64M \
        --threads "$processors" --duration 3s --report "$work/flip$bit.json" >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 2 ] || fail "bit $bit: status $status: $(cat "$work/err")"
    flipped=$(grep -o "FERROX_INJECT_FAULT: bit $bit of the word at 0x[0-9a-f]*" "$work/err" | grep -o '0x[0-9a-f]*$')
    [ -n "$flipped" ] || { fail "bit $bit: the flip was not noted: $(cat "$work/err")"; continue; }
    grep -q "^ferrox: error at .*memory load: the word at $flipped .*differs in bit $bit: .*written by processor [0-9]*, read by processor [0-9]*" \
        "$work/err" || fail "bit $bit: no error naming $flipped: $(cat "$work/err")"
    report "$work/flip$bit.json" 'r["verdict"] == "failed"' 'len(r["errors"]) == 1' 'r["errors"][0]["kind"] == "memory mismatch"' \
        "r['errors'][0]['address'] == '$flipped'" "r['errors'][0]['bits'] == [$bit]" 'r["errors"][0]["wrong_words"] == 1' \
        'r["errors"][0]["reader_processor"] == r["errors"][0]["processor"]' 'r["errors"][0]["writer_processor"] >= 0' \
        "int(r['errors'][0]['expected'], 16) ^ int(r['errors'][0]['obtained'], 16) == 1 << $bit" \
        'r["failing_processors"] == [r["errors"][0]["processor"]]'
done

# The cache load: a flipped bit in a worker's data is an error of that processor.
FERROX_INJECT_FAULT="cpu=$faulty,after=2,kind=work-area,bit=9" "$ferrox" --headless --load cache --threads "$processors" \
    --duration 2s --report "$work/cache.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 2 ] || fail "cache load: status $status: $(cat "$work/err")"
grep -q "^ferrox: error at .*worker $faulty on processor $faulty.*cache load: the word at 0x[0-9a-f]* .*differs in bit 9:" "$work/err" ||
    fail "cache load: no attributed error: $(cat "$work/err")"
report "$work/cache.json" "r['failing_processors'] == [$faulty]" 'r["errors"][0]["load"] == "cache"' 'r["errors"][0]["bits"] == [9]' \
    'r["memory"]["load"] == "cache"' 'r["memory"]["gb_per_second"] > 0' 'r["memory"]["data_sets"] != ""'

# Sizes refused before anything starts: one line on stderr, status 1, nothing on stdout.
for arguments in "--load memory --memory 100000G" "--load memory --memory 1M" "--load memory --memory 150%" \
    "--load memory --memory 2Q" "--memory 1G"; do
    # shellcheck disable=SC2086
    timeout 10 "$ferrox" --headless $arguments --duration 1s >"$work/out" 2>"$work/err"
    status=$?
    [ $status -eq 1 ] || fail "'$arguments' ended with status $status"
    [ "$(grep -c . "$work/err")" -eq 1 ] && grep -q -- '^ferrox: --memory' "$work/err" || fail "'$arguments': stderr was: $(cat "$work/err")"
    [ -s "$work/out" ] && fail "'$arguments' printed: $(cat "$work/out")"
done

[ $failed -eq 0 ] && echo "ok: memory loads"
exit $failed
