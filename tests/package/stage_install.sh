#!/usr/bin/env bash
# stage_install.sh BUILD_DIR STAGE_DIR: installs the build tree into STAGE_DIR with the prefix
# /usr, as the Debian package lays it out, for the checks of the installed files.
set -eu
build=${1:?usage: stage_install.sh BUILD_DIR STAGE_DIR}
stage=${2:?usage: stage_install.sh BUILD_DIR STAGE_DIR}
rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
echo "installed into $stage:"
(cd "$stage" && find . -type f | sort)
