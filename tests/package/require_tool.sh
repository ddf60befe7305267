#!/usr/bin/env bash
# require_tool.sh TOOL... -- COMMAND ARGS...: runs the command when every tool is installed;
# otherwise exits 77 (ctest's skip) and names the missing tool.
set -u
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    if ! command -v "$1" >/dev/null 2>&1; then
        echo "skipped: $1 is not installed (scripts/setup installs it)"
        exit 77
    fi
    shift
done
shift
exec "$@"
