#!/bin/sh
# One node's part of a fleet run (the Kubernetes examples' pods start it as ferrox-node-run):
# Ferrox headless for FERROX_DURATION (default 10m), its JSON report to REPORT, written under a
# temporary name and renamed once complete, and Ferrox's exit status beside it in REPORT.status.
# A SIGTERM (the pod deleted, the Job's deadline) is passed on to Ferrox, which then ends the run
# and still writes its report; a shell as the container's first process would otherwise drop it.
# Exits 0 when Ferrox ran to a verdict (0 no error, 2 errors detected: the report says which) and
# with Ferrox's status when it could not run (1 usage error, 3 could not start).
# Options after REPORT (and --stay) go to Ferrox as they are, e.g. --metrics FILE for
# node_exporter's textfile collector; a staying pod that is ended removes that metrics file, so
# the collector stops serving the figures of a run whose pod is gone.
# Usage: run-node.sh REPORT [--stay] [FERROX OPTIONS...]   (--stay: keep running afterwards, for a DaemonSet)
set -u
report=${1:?usage: run-node.sh REPORT [--stay] [FERROX OPTIONS...]}
shift
stay=
if [ "${1:-}" = "--stay" ]; then
    stay=1
    shift
fi
metrics=
previous=
for argument in "$@"; do
    [ "$previous" = "--metrics" ] && metrics=$argument
    case $argument in --metrics=*) metrics=${argument#--metrics=} ;; esac
    previous=$argument
done

ferrox --headless --duration "${FERROX_DURATION:-10m}" --report "$report.part" "$@" &
pid=$!
ended=
trap 'ended=1; kill -TERM "$pid" 2>/dev/null' TERM INT HUP
wait "$pid"
status=$?
# A trapped signal ends the first wait early; the second one collects Ferrox's own status.
if [ "$status" -gt 128 ]; then
    wait "$pid"
    status=$?
fi
echo "$status" >"$report.status"
[ -f "$report.part" ] && mv "$report.part" "$report"
echo "ferrox-node-run: exit status $status, report $report"

if [ -n "$stay" ]; then
    # The pod is gone once it is ended, during the run or afterwards: so are its figures.
    sleeper=
    leave() {
        [ -n "$metrics" ] && rm -f "$metrics"
        [ -n "$sleeper" ] && kill "$sleeper" 2>/dev/null
        exit 0
    }
    [ -n "$ended" ] && leave
    trap leave TERM INT HUP
    while :; do
        sleep 3600 &
        sleeper=$!
        wait "$sleeper"
    done
fi
case $status in
    0 | 2) exit 0 ;;
    *) exit "$status" ;;
esac
