#!/usr/bin/env python3
"""check_manifests.py refuses DaemonSets that would keep no metrics where node_exporter reads them:
each case spoils one thing in a copy of the real DaemonSet and must get exactly the failure that
names it; the real one passes.

Usage: check_manifests_test.py CHECK_MANIFESTS.py DAEMONSET.yaml
"""
import copy
import importlib.util
import sys

try:
    import yaml
except ImportError:
    print("skipped: python3-yaml is not installed (scripts/setup installs it)")
    sys.exit(77)


def load_checker(path):
    found = importlib.util.spec_from_file_location("check_manifests", path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def container(d):
    return d["spec"]["template"]["spec"]["containers"][0]


def without_metrics(d):
    command = container(d)["command"]
    i = command.index("--metrics")
    del command[i:i + 2]


def metrics_as(value):
    def spoil(d):
        command = container(d)["command"]
        i = command.index("--metrics")
        command[i + 1] = value
    return spoil


def unmounted(d):
    container(d)["volumeMounts"] = [m for m in container(d)["volumeMounts"] if m["mountPath"] != "/textfile"]


def empty_dir(d):
    for volume in d["spec"]["template"]["spec"]["volumes"]:
        if "hostPath" in volume:
            del volume["hostPath"]
            volume["emptyDir"] = {}


def equals_form(d):  # --metrics=FILE is as good as --metrics FILE
    command = container(d)["command"]
    i = command.index("--metrics")
    command[i:i + 2] = ["--metrics=" + command[i + 1]]


def main(checker_path, daemonset_path):
    checker = load_checker(checker_path)
    with open(daemonset_path, encoding="utf-8") as f:
        real = [d for d in yaml.safe_load_all(f) if d is not None]
    daemonsets = [d for d in real if d["kind"] == "DaemonSet"]
    if len(daemonsets) != 1:
        print(f"FAIL: {daemonset_path} holds {len(daemonsets)} DaemonSets, not one")
        return 1
    cases = [
        ("the real DaemonSet", None, None),
        ("--metrics=FILE", equals_form, None),
        ("no --metrics", without_metrics, "does not pass --metrics"),
        ("a file the collector skips", metrics_as("/textfile/ferrox.txt"), "not an absolute path to a .prom file"),
        ("a relative path", metrics_as("ferrox.prom"), "not an absolute path to a .prom file"),
        ("a folder not mounted", metrics_as("/elsewhere/ferrox.prom"), "metrics folder /elsewhere is not a mounted volume"),
        ("the mount removed", unmounted, "metrics folder /textfile is not a mounted volume"),
        ("an emptyDir instead of the node's folder", empty_dir, "is not a hostPath volume"),
    ]
    failed = 0
    for name, spoil, expected in cases:
        documents = copy.deepcopy(real)
        if spoil is not None:
            spoil(next(d for d in documents if d["kind"] == "DaemonSet"))
        failures, _ = checker.check_documents("daemonset", documents)
        if expected is None and failures:
            print(f"FAIL: {name}: refused: {failures}")
            failed = 1
        elif expected is not None and (len(failures) != 1 or expected not in failures[0]):
            print(f"FAIL: {name}: wanted one failure with {expected!r}, got {failures}")
            failed = 1
    if not failed:
        print(f"{len(cases)} DaemonSet variants checked as they should be")
    return failed


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
