#!/usr/bin/env bash
# Installs what is missing, builds Quiltana with its tests and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh" test
jobs=$(nproc)

cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build-test" -j "$jobs"
(cd "$here/build-test" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")
