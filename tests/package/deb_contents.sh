#!/usr/bin/env bash
# The package holds exactly what `cmake --install` installs, its control fields are filled in
# (the version from CMakeLists.txt, dependencies found by dpkg-shlibdeps), it carries no
# maintainer scripts or conffiles, and the unpacked program finds every library it needs.
# Usage: deb_contents.sh PACKAGE_DIR STAGE_DIR VERSION
set -u
dir=${1:?usage: deb_contents.sh PACKAGE_DIR STAGE_DIR VERSION}
stage=${2:?}
version=${3:?}
debs=("$dir"/ferrox_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "skipped: no package in $dir (package.build made none)"; exit 77; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb cannot unpack $deb"; exit 1; }
packed=$(cd "$root" && find . -type f | sort)
installed=$(cd "$stage" && find . -type f | sort)
if [ "$packed" != "$installed" ]; then
    fail "the package and cmake --install differ:"
    diff <(echo "$installed") <(echo "$packed") | sed -n 's/^</  only installed:/p; s/^>/  only packed:/p'
fi

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = ferrox ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), CMakeLists.txt says $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[[ $(field Section) =~ ^(utils|admin)$ ]] || fail "Section: $(field Section)"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
[ "$(field Homepage)" = "https://ferrox.dev/" ] || fail "Homepage: $(field Homepage)"
description=$(field Description)
[ "$(printf '%s\n' "$description" | wc -l)" -ge 3 ] || fail "no extended description: $description"
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ ", $depends" == *", $library (>= "* ]] || fail "Depends lacks a versioned $library (dpkg-shlibdeps): $depends"
done

members=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '^$' | sort | tr '\n' ' ')
[ "$members" = "control md5sums " ] || fail "control members '$members': want only control and md5sums"

missing=$(ldd "$root/usr/bin/ferrox" 2>&1 | grep 'not found')
[ -z "$missing" ] || fail "the unpacked program lacks libraries: $missing"

[ "$failed" -eq 0 ] && echo "$(basename "$deb"): $(echo "$packed" | wc -l) files; Depends: $depends"
exit "$failed"
