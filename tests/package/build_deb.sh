#!/usr/bin/env bash
# build_deb.sh BUILD_DIR OUT_DIR: makes the Debian package from the build tree with CPack (as
# scripts/package does from its own tree) into OUT_DIR, for the package checks.
set -u
build=${1:?usage: build_deb.sh BUILD_DIR OUT_DIR}
out=${2:?usage: build_deb.sh BUILD_DIR OUT_DIR}
rm -rf "$out"
for tool in dpkg-deb dpkg-shlibdeps file; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed (scripts/setup installs it)"
        exit 77
    fi
done
mkdir -p "$out"
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
    echo "FAIL: cpack did not make the package:"
    cat "$out/cpack.log"
    exit 1
fi
ls "$out"/ferrox_*.deb
