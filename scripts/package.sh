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
# The distribution's compiler and linker flags, hardening included (fortified C library calls,
# stack protector, read-only relocations bound at start); CMake has no CPPFLAGS, so the
# preprocessor's go before the compiler's. Given on every run, so that the cache never keeps
# old ones.
flags=$(cd "$here" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)
eval "$flags"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_C_FLAGS="$CPPFLAGS $CFLAGS" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" \
      -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
      -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" \
      -DQUILTANA_BUILD_TESTS=OFF -DQUILTANA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${JOBS:-$(nproc)}"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out")
rm -rf "$out/_CPack_Packages"
ls -1 "$out"/quiltana_*.deb
