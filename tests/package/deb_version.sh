#!/usr/bin/env bash
# The packaged program runs: unpacked from the package, `ferrox --version` exits with status 0
# and prints the version, with no display at all.
# Usage: deb_version.sh PACKAGE_DIR VERSION
set -u
dir=${1:?usage: deb_version.sh PACKAGE_DIR VERSION}
version=${2:?usage: deb_version.sh PACKAGE_DIR VERSION}
debs=("$dir"/ferrox_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "skipped: no package in $dir (package.build made none)"; exit 77; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb cannot unpack $deb"; exit 1; }

output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$root/usr/bin/ferrox" --version 2>&1)
status=$?
echo "ferrox --version (status $status): $output"
[ "$status" -eq 0 ] || { echo "FAIL: status $status"; exit 1; }
[[ $output == *"$version"* ]] || { echo "FAIL: the output does not name version $version"; exit 1; }
