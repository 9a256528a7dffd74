#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Debian package of a build folder into an empty folder.
#   package_build.sh <build folder> <output folder>
set -euo pipefail
build=${1:?build folder}
out=${2:?output folder}
rm -rf "$out"
mkdir -p "$out"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
ls "$out"/velmora_*_amd64.deb
