#!/usr/bin/env bash
# Installing the package over an older Ferrox replaces it (files the old one had and the new one
# lacks go away), and removing it leaves nothing behind. dpkg works on a private root
# (dpkg --root) with its own empty database, so the machine's own packages are never touched;
# the older Ferrox is this package rewritten as version 1.0.0 with one file of its own.
# Usage: deb_upgrade.sh PACKAGE_DIR
set -u
dir=${1:?usage: deb_upgrade.sh PACKAGE_DIR}
debs=("$dir"/ferrox_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "skipped: no package in $dir (package.build made none)"; exit 77; }
for tool in dpkg dpkg-deb; do
    command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v fakeroot >/dev/null 2>&1 || { echo "skipped: dpkg --root needs root or fakeroot"; exit 77; }
    as_root=(fakeroot)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The older package: version 1.0.0, and a file the new version no longer ships.
retired=usr/share/ferrox/retired-in-1.1.txt
dpkg-deb -R "$deb" "$work/old"
sed -i 's/^Version: .*/Version: 1.0.0/' "$work/old/DEBIAN/control"
mkdir -p "$work/old/$(dirname "$retired")"
echo "shipped by 1.0.0 only" >"$work/old/$retired"
(cd "$work/old" && md5sum "$retired" >>DEBIAN/md5sums)
dpkg-deb --root-owner-group -b "$work/old" "$work/ferrox_1.0.0.deb" >/dev/null ||
    { echo "FAIL: cannot build the older package"; exit 1; }

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
# The libraries Ferrox depends on are the host's, not the private root's.
dpkg_root() {
    "${as_root[@]}" dpkg --root="$root" --log=/dev/null --force-depends --force-not-root \
        --force-script-chrootless "$@" >"$work/dpkg.log" 2>&1 ||
        { echo "FAIL: dpkg $*:"; cat "$work/dpkg.log"; exit 1; }
}
installed_version() { dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Version} ${Status}' ferrox 2>/dev/null; }
files_in_root() { (cd "$root" && find . -path ./var/lib/dpkg -prune -o ! -type d -print | sort); }

dpkg_root -i "$work/ferrox_1.0.0.deb"
[ "$(installed_version)" = "1.0.0 install ok installed" ] || fail "1.0.0 not installed: $(installed_version)"
[ -f "$root/$retired" ] || fail "1.0.0's own file is missing"

dpkg_root -i "$deb"
new_version=$(dpkg-deb --field "$deb" Version)
[ "$(installed_version)" = "$new_version install ok installed" ] ||
    fail "after the upgrade: $(installed_version), want $new_version"
[ ! -e "$root/$retired" ] || fail "the upgrade left 1.0.0's $retired behind"
dpkg-deb -x "$deb" "$work/unpacked"
cmp -s "$work/unpacked/usr/bin/ferrox" "$root/usr/bin/ferrox" || fail "usr/bin/ferrox is not the new program"
want=$(cd "$work/unpacked" && find . ! -type d | sort)
[ "$(files_in_root)" = "$want" ] || fail "after the upgrade the files are not the new package's"

dpkg_root -r ferrox
left=$(files_in_root)
[ -z "$left" ] || fail "dpkg -r left files behind: $left"
dirs_left=$(cd "$root" && find . -mindepth 1 -type d ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg*')
[ -z "$dirs_left" ] || fail "dpkg -r left folders behind: $dirs_left"
dpkg_root --purge ferrox
[ -z "$(installed_version)" ] || fail "still known to dpkg after --purge: $(installed_version)"

[ "$failed" -eq 0 ] && echo "1.0.0 -> $new_version replaced every file; removal left nothing behind"
exit "$failed"
