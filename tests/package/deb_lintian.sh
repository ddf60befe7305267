#!/usr/bin/env bash
# lintian finds no error in the package; its warnings and notes are printed for the record.
# Usage: deb_lintian.sh PACKAGE_DIR
set -u
dir=${1:?usage: deb_lintian.sh PACKAGE_DIR}
if ! command -v lintian >/dev/null 2>&1; then
    echo "skipped: lintian is not installed (scripts/setup installs it)"
    exit 77
fi
debs=("$dir"/ferrox_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "skipped: no package in $dir (package.build made none)"; exit 77; }
# lintian's own warning about running as root is not about the package.
report=$(lintian --display-level '>=pedantic' --fail-on none "$deb" 2>&1 |
         grep -v '^running with root privileges is not recommended!$')
[ -n "$report" ] && printf '%s\n' "$report"
errors=$(printf '%s\n' "$report" | grep -c '^E: ')
if [ "$errors" -gt 0 ]; then
    echo "FAIL: lintian reports $errors errors"
    exit 1
fi
echo "lintian: no errors, $(printf '%s\n' "$report" | grep -c '^W: ') warnings"
