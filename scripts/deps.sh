#!/usr/bin/env bash
# Installs the Debian packages Quiltana needs to build, run and test, when they are missing.
# Usage: scripts/deps.sh [run|test|package|bench]
#   test adds what only the test suite needs (libgs-common for a press CMYK colour profile; man,
#   desktop-file-validate and dpkg-parsechangelog for the quick checks of the package's files);
#   package what building and checking the Debian package needs (dpkg-shlibdeps and
#   dpkg-buildflags from dpkg-dev, file, appstreamcli from appstream, lintian, man from man-db
#   for the manual page, desktop-file-validate from desktop-file-utils); bench what
#   scripts/bench.sh needs (djpeg, and Python's imaging packages for the print quality report).
set -euo pipefail

want=(build-essential cmake ninja-build pkg-config
      qt6-base-dev libgl-dev libjpeg-dev libpng-dev libexif-dev zlib1g-dev liblcms2-dev libcups2-dev
      fonts-ipafont-gothic qt6-translations-l10n)
case "${1:-run}" in
  test)
    want+=(libgtest-dev googletest poppler-utils libjpeg-turbo-progs cups cups-bsd printer-driver-cups-pdf
           clang libclang-rt-14-dev xvfb xauth appstream libgs-common man-db desktop-file-utils dpkg-dev)
    ;;
  package)
    want+=(dpkg-dev file appstream lintian man-db desktop-file-utils)
    ;;
  bench)
    want+=(libjpeg-turbo-progs python3-pil python3-numpy python3-skimage)
    ;;
esac

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
