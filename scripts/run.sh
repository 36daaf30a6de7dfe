#!/usr/bin/env bash
# Installs what is missing, builds Quiltana and starts it with the given pictures or folders.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/deps.sh" run
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILTANA_BUILD_TESTS=OFF >/dev/null
cmake --build "$here/build" --target quiltana
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display is available: Quiltana is a desktop program and needs one." >&2
  echo "Start it on a desktop, or under a virtual display, for example:" >&2
  echo "  xvfb-run -a $here/build/src/ui/quiltana ${*}" >&2
  exit 1
fi
exec "$here/build/src/ui/quiltana" "$@"
