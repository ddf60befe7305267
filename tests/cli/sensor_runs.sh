#!/usr/bin/env bash
# Ferrox headless over sensor trees that misbehave (FERROX_SYSFS_ROOT): throttle counters that
# rise on every processor of a package at every sweep, and files that would block a reader.
set -u
ferrox=${1:?usage: sensor_runs.sh path/to/ferrox}
command -v python3 >/dev/null || { echo "skipped: python3 is needed to read the reports"; exit 77; }
work=$(mktemp -d)
writer=
cleanup() {
    [ -n "$writer" ] && kill "$writer" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
# shellcheck source=tests/cli/report_checks.sh
. "$(dirname "$0")/report_checks.sh"

# 64 processors in one package, two to a core; every counter starts at 0.
tree=$work/throttle
for cpu in $(seq 0 63); do
    d=$tree/sys/devices/system/cpu/cpu$cpu
    mkdir -p "$d/thermal_throttle" "$d/topology"
    echo 0 >"$d/thermal_throttle/package_throttle_count"
    echo 0 >"$d/thermal_throttle/core_throttle_count"
    echo 0 >"$d/topology/physical_package_id"
    echo $((cpu % 32)) >"$d/topology/core_id"
done
# The package counter (one counter, shown by every processor of the package) rises by 10 every
# half second for 4 s; core 3's counter (shown by processors 3 and 35) rises once.
(
    for step in $(seq 1 8); do
        sleep 0.5
        for cpu in $(seq 0 63); do echo $((step * 10)) >"$tree/sys/devices/system/cpu/cpu$cpu/thermal_throttle/package_throttle_count"; done
        if [ "$step" -eq 3 ]; then
            for cpu in 3 35; do echo 7 >"$tree/sys/devices/system/cpu/cpu$cpu/thermal_throttle/core_throttle_count"; done
        fi
    done
) &
writer=$!
FERROX_SYSFS_ROOT=$tree timeout 60 "$ferrox" --headless --threads 1 --duration 7s --report "$work/throttle.json" \
    >"$work/out" 2>"$work/err"
status=$?
wait "$writer"
writer=
[ $status -eq 0 ] || fail "the throttled run ended with status $status: $(head -c 2000 "$work/err")"
lines=$(grep -c 'throttl' "$work/err")
[ "$lines" -eq 2 ] || fail "throttling made $lines lines on stderr, not one per episode: $(head -n 5 "$work/err")"
grep -q 'throttling on package 0 from .* to .*: its package throttle counter rose by 80' "$work/err" ||
    fail "no package episode line: $(head -n 5 "$work/err")"
grep -q 'throttling on core 3 of package 0 (processors 3 and 35) from .*: its core throttle counter rose by 7' "$work/err" ||
    fail "no core episode line: $(head -n 5 "$work/err")"
[ "$(grep -c 'throttl' "$XDG_STATE_HOME/ferrox/ferrox.log")" -eq 2 ] || fail "the log has other than two throttling lines"
tail -n 3 "$work/out" | grep -q 'throttled 2x' || fail "the status lines do not count two episodes: $(tail -n 2 "$work/out")"
report "$work/throttle.json" 'r["monitor"]["throttling"]["episode_count"] == 2' \
    'len(r["monitor"]["throttling"]["episodes"]) == 2' 'r["monitor"]["throttling"]["episodes_not_listed"] == 0' \
    '[e["counts"] for e in r["monitor"]["throttling"]["episodes"]] in ([80, 7], [7, 80])' \
    'sorted(e["reason"] for e in r["monitor"]["throttling"]["episodes"]) == ["core_throttle_count", "package_throttle_count"]' \
    '[e["processors"] for e in r["monitor"]["throttling"]["episodes"] if e["reason"] == "package_throttle_count"] == [list(range(64))]' \
    'all(e["start_seconds"] <= e["end_seconds"] <= r["run_seconds"] for e in r["monitor"]["throttling"]["episodes"])'

# FIFOs where sensor files should be (a reader opening one would wait for a writer forever), and
# links that lead out of the tree. SIGTERM must end the run at any moment, and no value from
# outside the tree may be read.
tree=$work/hostile
hwmon=$tree/sys/class/hwmon
mkdir -p "$hwmon/hwmon0" "$hwmon/hwmon1" "$hwmon/hwmon2" "$work/outside"
echo k10temp >"$hwmon/hwmon0/name"
echo 41000 >"$hwmon/hwmon0/temp1_input"
mkfifo "$hwmon/hwmon0/temp2_input" "$hwmon/hwmon1/name"
echo 42000 >"$hwmon/hwmon1/temp1_input"
echo nct6775 >"$hwmon/hwmon2/name"
echo 99000 >"$work/outside/hot"
ln -s "$work/outside/hot" "$hwmon/hwmon2/temp1_input"
ln -s "$work/outside" "$hwmon/hwmon3"
mkdir -p "$tree/sys/class/powercap/intel-rapl:0"
echo package-0 >"$tree/sys/class/powercap/intel-rapl:0/name"
mkfifo "$tree/sys/class/powercap/intel-rapl:0/energy_uj"
FERROX_SYSFS_ROOT=$tree "$ferrox" --headless --threads 1 --duration 1h --report "$work/hostile.json" \
    >"$work/out" 2>"$work/err" &
pid=$!
sleep 3
kill -TERM $pid
for _ in $(seq 1 100); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then
    fail "SIGTERM did not end a run whose sensor tree holds FIFOs"
    kill -KILL $pid
    wait $pid 2>/dev/null
else
    wait $pid
    status=$?
    # Stopped long before its hour: incomplete, not a failure.
    [ $status -eq 4 ] || fail "the run over FIFOs ended with status $status: $(cat "$work/err")"
    grep -q ' at .* MHz' "$work/out" || fail "no status lines while the tree holds FIFOs: $(cat "$work/out")"
    report "$work/hostile.json" 'r["end_reason"] == "SIGTERM"' 'r["sensors"]["hottest_celsius"] == 42.0' \
        'sorted(s["max"] for s in r["monitor"]["series"] if s["unit"] == "celsius") == [41.0, 42.0]' \
        'not any(s["unit"] == "watts" for s in r["monitor"]["series"])'
fi

[ $failed -eq 0 ] && echo "ok: sensor runs"
exit $failed
