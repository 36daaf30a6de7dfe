#!/usr/bin/env bash
# Builds Quiltana in Release (build-bench) and measures it on a folder of photographs, then
# reports its print quality:
#   scripts/bench.sh [photo folder] [--runs N] [--quality-only] [--quality-dir DIR]
# The folder defaults to /var/tmp/quiltana-bench-photos. The benchmark reports; it asserts nothing.
#   --quality-only   only the print quality report (a minute), not the timings (long)
#   --quality-dir    keeps the report's pictures and printed cells in DIR (else a temporary folder)
# The quality report needs Debian's python3-pil, python3-numpy and python3-skimage
# (scripts/deps.sh bench). QUILTANA_BENCH_BUILD names another build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
photos=/var/tmp/quiltana-bench-photos
build=${QUILTANA_BENCH_BUILD:-$here/build-bench}
python=${PYTHON:-/usr/bin/python3}
args=()
timings=1
quality_dir=
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) args+=(--runs "$2"); shift 2 ;;
    --quality-only) timings=0; shift ;;
    --quality-dir) quality_dir=$2; shift 2 ;;
    *) photos=$1; shift ;;
  esac
done

if ! ls "$photos"/*.jpg >/dev/null 2>&1; then
  echo "No photos in $photos. Make the benchmark set (about 160 MB, from Debian packages) with:"
  echo "  bash $here/../shared/bench/make-photos.sh            # into /var/tmp/quiltana-bench-photos"
  echo "  OUT=/some/dir bash $here/../shared/bench/make-photos.sh"
  exit 2
fi
if [ "$timings" = 1 ] && ! command -v djpeg >/dev/null; then
  echo "djpeg is missing: the reference decode needs it (apt-get install libjpeg-turbo-progs)." >&2
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILTANA_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target quiltana_bench -j "$(nproc)"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
if [ "$timings" = 1 ]; then
  "$build/bench/quiltana_bench" "${args[@]}" "$photos"
  echo
fi

# The print quality report: the bench program writes its pictures and prints each into a cell,
# bench/quality.py compares the cells with references of its own.
if ! "$python" -c 'import numpy, PIL.ImageCms, skimage.metrics' 2>/dev/null; then
  echo "The print quality report needs python3-pil, python3-numpy and python3-skimage for $python:" >&2
  echo "  scripts/deps.sh bench" >&2
  exit 2
fi
if [ -z "$quality_dir" ]; then
  quality_dir=$(mktemp -d "${TMPDIR:-/tmp}/quiltana-quality.XXXXXX")
  trap 'rm -rf "$quality_dir"' EXIT
fi
"$build/bench/quiltana_bench" --quality-pictures "$quality_dir" "$photos"
"$python" "$here/bench/quality.py" "$quality_dir"
