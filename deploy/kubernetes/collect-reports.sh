#!/usr/bin/env bash
# Copies the JSON reports of a Kubernetes fleet run into a folder, one <node>.json per node, for
# deploy/summarise-reports. Needs kubectl pointed at the cluster (and namespace) of the run.
#   collect-reports.sh job DIR        from the shared volume of ferrox-job.yaml, through a
#                                     short-lived busybox pod that mounts it
#   collect-reports.sh daemonset DIR  from each pod of ferrox-daemonset.yaml whose run has ended
set -euo pipefail
mode=${1:-}
out=${2:-}
if [[ -z $out || ! $mode =~ ^(job|daemonset)$ ]]; then
    echo "usage: collect-reports.sh job|daemonset DIR" >&2
    exit 1
fi
mkdir -p "$out"

if [[ $mode == daemonset ]]; then
    pending=0
    while read -r pod node; do
        if kubectl exec "$pod" -- test -f /reports/report.json 2>/dev/null; then
            kubectl exec "$pod" -- cat /reports/report.json >"$out/$node.json"
            echo "$node: report collected"
        else
            echo "$node: still running (no report yet)"
            pending=$((pending + 1))
        fi
    done < <(kubectl get pods -l app.kubernetes.io/name=ferrox-node \
                 -o jsonpath='{range .items[*]}{.metadata.name}{" "}{.spec.nodeName}{"\n"}{end}')
    echo "$pending node(s) still running; run this again later for them"
    exit 0
fi

collector=ferrox-collect
overrides=$(cat <<JSON
{"spec": {"containers": [{"name": "$collector", "image": "busybox:1.36", "command": ["sleep", "600"],
  "volumeMounts": [{"name": "reports", "mountPath": "/reports"}]}],
  "volumes": [{"name": "reports", "persistentVolumeClaim": {"claimName": "ferrox-reports"}}]}}
JSON
)
kubectl run "$collector" --image=busybox:1.36 --restart=Never --overrides="$overrides" >/dev/null
trap 'kubectl delete pod "$collector" --wait=false >/dev/null' EXIT
kubectl wait --for=condition=Ready --timeout=120s "pod/$collector" >/dev/null
for report in $(kubectl exec "$collector" -- sh -c 'cd /reports && ls *.json'); do
    kubectl exec "$collector" -- cat "/reports/$report" >"$out/$report"
done
echo "$(find "$out" -name '*.json' | wc -l) report(s) in $out"
