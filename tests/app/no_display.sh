#!/usr/bin/env bash
# Ferrox without a display: it must say so in one line on stderr that suggests --headless, and
# exit at once with status 3, whether no display is configured or the configured X server is not there.
set -u
ferrox=${1:?usage: no_display.sh path/to/ferrox}
failed=0

check() {
    local name=$1
    shift
    local err status lines
    err=$(env "$@" timeout 10 "$ferrox" 2>&1 >/dev/null)
    status=$?
    lines=$(printf '%s\n' "$err" | grep -c .)
    if [ "$status" -eq 124 ]; then
        echo "FAIL ($name): ferrox hung"; failed=1
    elif [ "$status" -ne 3 ]; then
        echo "FAIL ($name): status $status, not 3"; failed=1
    elif ! printf '%s\n' "$err" | grep -q -- '--headless'; then
        echo "FAIL ($name): no --headless hint: $err"; failed=1
    elif [ "$lines" -ne 1 ]; then
        echo "FAIL ($name): $lines lines on stderr:"; printf '%s\n' "$err"; failed=1
    else
        echo "ok ($name, status $status): $err"
    fi
}

check "nothing set" -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM
check "xcb without DISPLAY" -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb
check "X server missing" -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:239
check "wayland without WAYLAND_DISPLAY" -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=wayland
exit $failed
