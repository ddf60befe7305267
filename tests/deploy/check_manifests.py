#!/usr/bin/env python3
"""The Kubernetes examples parse as YAML, each object is complete (apiVersion, kind, name), and
every container runs Ferrox through ferrox-node-run with its report on a mounted volume.

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


def main(paths):
    failures = []
    for path in paths:
        try:
            with open(path, encoding="utf-8") as f:
                documents = [d for d in yaml.safe_load_all(f) if d is not None]
        except yaml.YAMLError as error:
            failures.append(f"{path}: not YAML: {error}")
            continue
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
        print(f"{path}: {', '.join(kinds)}")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
