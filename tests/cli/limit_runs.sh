#!/usr/bin/env bash
# Safety limits over fake sensor trees (FERROX_SYSFS_ROOT) whose readings rise during the run: a
# temperature that reaches the sensors' own critical point less 5 °C, or a chosen limit, and a
# package's power past --max-power, each stop the run within a second or two with the verdict
# STOPPED (status 5) and the reason; without a critical point there is no default limit, and the
# start line and the report say so.
set -u
ferrox=${1:?usage: limit_runs.sh path/to/ferrox}
command -v python3 >/dev/null || { echo "skipped: python3 is needed to read the reports"; exit 77; }
work=$(mktemp -d)
writer=
cleanup() {
    [ -n "$writer" ] && kill "$writer" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_STATE_HOME=$work/state
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM FERROX_INJECT_FAULT
# shellcheck source=tests/cli/report_checks.sh
. "$(dirname "$0")/report_checks.sh"

# A coretemp chip with a package sensor at 60 °C; its critical point when given.
make_tree() {  # DIR [CRIT_MILLIDEGREES]
    local chip=$1/sys/class/hwmon/hwmon0
    mkdir -p "$chip"
    echo coretemp >"$chip/name"
    echo "Package id 0" >"$chip/temp1_label"
    echo 60000 >"$chip/temp1_input"
    [ -n "${2:-}" ] && echo "$2" >"$chip/temp1_crit"
    # Another chip's sensor, hotter than any limit: not the processor's, so it never stops a run.
    mkdir -p "$1/sys/class/hwmon/hwmon1"
    echo nvme >"$1/sys/class/hwmon/hwmon1/name"
    echo 120000 >"$1/sys/class/hwmon/hwmon1/temp1_input"
}

# Writes VALUE into FILE after SECONDS, in the background; sets writer and noted.
rise_later() {  # FILE VALUE SECONDS
    (sleep "$3" && echo "$2" >"$1.new" && mv "$1.new" "$1" && date +%s%N >"$work/risen") &
    writer=$!
}

# The default limit: the critical point 100 °C less 5. At 96 °C the run stops.
make_tree "$work/hot" 100000
rise_later "$work/hot/sys/class/hwmon/hwmon0/temp1_input" 96000 2
FERROX_SYSFS_ROOT=$work/hot timeout 60 "$ferrox" --headless --threads 1 --duration 1m --report "$work/hot.json" \
    >"$work/out" 2>"$work/err"
status=$?
ended=$(date +%s%N)
[ $status -eq 5 ] || fail "a temperature past the limit: status $status: $(cat "$work/err")"
if [ -s "$work/risen" ]; then
    took=$(((ended - $(cat "$work/risen")) / 1000000))
    [ $took -lt 3000 ] || fail "the run stopped $took ms after the temperature rose"
fi
tail -n 1 "$work/out" | grep -q '^STOPPED (temperature limit 95.0 °C reached: Package id 0 at 96.0 °C after 00:00:0[0-9])' ||
    fail "no STOPPED summary: $(tail -n 1 "$work/out")"
grep -q 'start: .*temperature limit 95.0 °C (coretemp Package id 0 critical point 100.0 °C less 5)' \
    "$XDG_STATE_HOME/ferrox/ferrox.log" || fail "the start line does not give the limit: $(grep start: "$XDG_STATE_HOME/ferrox/ferrox.log")"
report "$work/hot.json" 'r["verdict"] == "stopped"' 'r["verdict_reason"].startswith("temperature limit 95.0")' \
    'r["settings"]["limits"]["max_celsius"] == 95.0' 'r["error_count"] == 0' \
    '"critical point 100.0" in r["settings"]["limits"]["max_celsius_source"]'

# A chosen limit stops a run that is already past it; "none" lets it run to its end, as does a
# machine whose sensors publish no critical point (and the report says there was no limit).
make_tree "$work/warm" 100000
FERROX_SYSFS_ROOT=$work/warm timeout 30 "$ferrox" --headless --threads 1 --duration 30s --max-temperature 55 \
    --report "$work/chosen.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 5 ] || fail "--max-temperature 55 at 60 °C: status $status"
report "$work/chosen.json" 'r["verdict"] == "stopped"' 'r["settings"]["limits"]["max_celsius"] == 55.0' \
    'r["run_seconds"] < 10'
FERROX_SYSFS_ROOT=$work/warm "$ferrox" --headless --threads 1 --duration 2s --max-temperature none \
    --report "$work/none.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 0 ] || [ $status -eq 7 ] || fail "--max-temperature none: status $status"
report "$work/none.json" 'r["settings"]["limits"]["max_celsius"] is None' 'r["verdict"] != "stopped"'
make_tree "$work/nocrit"
FERROX_SYSFS_ROOT=$work/nocrit "$ferrox" --headless --threads 1 --duration 2s --report "$work/nocrit.json" \
    >"$work/out" 2>"$work/err"
report "$work/nocrit.json" 'r["settings"]["limits"]["max_celsius"] is None' \
    'r["settings"]["limits"]["max_celsius_source"] == "none: the processor'"'"'s sensors publish no critical point"'

# A package drawing more than --max-power: its energy counter climbs 120 J a second.
zone=$work/power/sys/class/powercap/intel-rapl:0
mkdir -p "$zone"
echo package-0 >"$zone/name"
echo 262143328850 >"$zone/max_energy_range_uj"
echo 1000000 >"$zone/energy_uj"
(
    energy=1000000
    for _ in $(seq 1 200); do
        sleep 0.1
        energy=$((energy + 12000000))
        echo $energy >"$zone/energy_uj.new" && mv "$zone/energy_uj.new" "$zone/energy_uj"
    done
) &
writer=$!
FERROX_SYSFS_ROOT=$work/power timeout 60 "$ferrox" --headless --threads 1 --duration 1m --max-power 100 \
    --report "$work/power.json" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 5 ] || fail "a package past --max-power: status $status: $(cat "$work/err")"
report "$work/power.json" 'r["verdict"] == "stopped"' 'r["verdict_reason"].startswith("power limit 100.0 W reached: package-0")' \
    'r["run_seconds"] < 15'

[ $failed -eq 0 ] && echo "ok: limit runs"
exit $failed
