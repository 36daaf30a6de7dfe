#!/usr/bin/env bash
# Builds Quiltana in Release (build-bench) and measures it on a folder of photographs:
#   scripts/bench.sh [photo folder] [--runs N]
# The folder defaults to /var/tmp/quiltana-bench-photos. The benchmark reports; it asserts nothing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
photos=/var/tmp/quiltana-bench-photos
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) args+=(--runs "$2"); shift 2 ;;
    *) photos=$1; shift ;;
  esac
done

if ! ls "$photos"/*.jpg >/dev/null 2>&1; then
  echo "No photos in $photos. Make the benchmark set (about 160 MB, from Debian packages) with:"
  echo "  bash $here/../shared/bench/make-photos.sh            # into /var/tmp/quiltana-bench-photos"
  echo "  OUT=/some/dir bash $here/../shared/bench/make-photos.sh"
  exit 2
fi
if ! command -v djpeg >/dev/null; then
  echo "djpeg is missing: the reference decode needs it (apt-get install libjpeg-turbo-progs)." >&2
fi

cmake -S "$here" -B "$here/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILTANA_BUILD_BENCH=ON >/dev/null
cmake --build "$here/build-bench" --target quiltana_bench -j "$(nproc)"
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$here/build-bench/bench/quiltana_bench" "${args[@]}" "$photos"
