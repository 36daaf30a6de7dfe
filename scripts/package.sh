#!/usr/bin/env bash
# Builds the Debian package of Quiltana from a Release build (in build-package/) and puts the
# .deb into a folder.
# Usage: scripts/package.sh [output folder]   (default: dist/ beside the sources)
# Its dependencies come from dpkg-shlibdeps; scripts/package-test.sh installs and removes it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here/dist}")
"$here/scripts/deps.sh" package
build="$here/build-package"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DQUILTANA_BUILD_TESTS=OFF -DQUILTANA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out")
rm -rf "$out/_CPack_Packages"
ls -1 "$out"/quiltana_*.deb
