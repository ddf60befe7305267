#!/usr/bin/env python3
"""The Kubernetes examples parse as YAML, each object is complete (apiVersion, kind, name), and
every container runs Ferrox through ferrox-node-run with its report on a mounted volume. The
DaemonSet also keeps Ferrox's metrics (--metrics FILE.prom) in node_exporter's textfile folder: a
hostPath volume mounted where FILE is.

Usage: check_manifests.py MANIFEST.yaml...
"""
import sys

try:
    import yaml
except ImportError:
    print("skipped: python3-yaml is not installed (scripts/setup installs it)")
    sys.exit(77)


def pod_spec(obj):
    if obj["kind"] in ("Job", "DaemonSet"):
        return obj["spec"]["template"]["spec"]
    return None


def option_value(command, option):
    """The value of --option VALUE or --option=VALUE in command, or None when it is not given."""
    for i, argument in enumerate(command):
        if argument == option:
            return command[i + 1] if i + 1 < len(command) else ""
        if argument.startswith(option + "="):
            return argument[len(option) + 1:]
    return None


def check_metrics(path, obj, spec, container, mounts):
    """--metrics: a *.prom file in a mounted hostPath folder (node_exporter's textfile folder)."""
    failures = []
    metrics = option_value(container.get("command", []), "--metrics")
    if metrics is None:
        if obj["kind"] == "DaemonSet":
            failures.append(f"{path}: the DaemonSet's container {container['name']} does not pass --metrics")
        return failures
    if not metrics.startswith("/") or not metrics.endswith(".prom"):
        failures.append(f"{path}: --metrics {metrics!r} is not an absolute path to a .prom file "
                        "(the textfile collector reads only *.prom)")
        return failures
    folder = metrics.rsplit("/", 1)[0]
    volume = mounts.get(folder)
    if volume is None:
        failures.append(f"{path}: the metrics folder {folder} is not a mounted volume")
        return failures
    sources = {v["name"]: v for v in spec.get("volumes", [])}
    if "hostPath" not in sources.get(volume, {}):
        failures.append(f"{path}: the metrics folder {folder} is not a hostPath volume, so node_exporter cannot read it")
    elif not sources[volume]["hostPath"].get("path", "").startswith("/"):
        failures.append(f"{path}: the metrics folder's hostPath has no absolute path")
    return failures


def check_documents(path, documents):
    """The failures of one manifest file's objects, and their kinds."""
    failures = []
    kinds = []
    for obj in documents:
        missing = [k for k in ("apiVersion", "kind", "metadata") if k not in obj]
        if missing or "name" not in obj.get("metadata", {}):
            failures.append(f"{path}: an object lacks {missing or ['metadata.name']}")
            continue
        kinds.append(obj["kind"])
        spec = pod_spec(obj)
        if spec is None:
            continue
        volumes = {v["name"] for v in spec.get("volumes", [])}
        for container in spec["containers"]:
            command = container.get("command", [])
            if command[:1] != ["ferrox-node-run"] or len(command) < 2:
                failures.append(f"{path}: container {container['name']} does not run ferrox-node-run REPORT")
                continue
            mounts = {m["mountPath"]: m["name"] for m in container.get("volumeMounts", [])}
            folder = command[1].rsplit("/", 1)[0]
            if mounts.get(folder) not in volumes:
                failures.append(f"{path}: the report folder {folder} is not a mounted volume")
            if "cpu" in container.get("resources", {}).get("limits", {}):
                failures.append(f"{path}: a CPU limit would throttle the load")
            failures += check_metrics(path, obj, spec, container, mounts)
    return failures, kinds


def main(paths):
    failures = []
    for path in paths:
        try:
            with open(path, encoding="utf-8") as f:
                documents = [d for d in yaml.safe_load_all(f) if d is not None]
        except yaml.YAMLError as error:
            failures.append(f"{path}: not YAML: {error}")
            continue
        found, kinds = check_documents(path, documents)
        failures += found
        print(f"{path}: {', '.join(kinds)}")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
