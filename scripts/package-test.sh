#!/usr/bin/env bash
# Tests the Debian package end to end, on this machine:
#   1. validates the AppStream metadata (appstreamcli validate --no-net);
#   2. builds the package with scripts/package.sh, or takes the .deb named;
#   3. checks it with lintian: any error or warning fails;
#   4. installs it with apt-get (which brings its dependencies) and checks that the program, its
#      manual page, desktop entry, icon, metadata, copyright file, changelog and lintian
#      overrides are in place, that the manual page renders without warnings and the desktop
#      entry validates, that Qt's Japanese catalogue is there, that every library the program
#      needs is found, and that the program, started from /usr/bin, keeps its work copies in
#      the per-user cache and writes nothing beside itself;
#   5. removes it with dpkg -r and checks that none of its files is left.
# Slow, and it installs into the system: not part of scripts/test.sh. Needs root or sudo, and
# refuses to run while a quiltana package is installed already.
# Usage: scripts/package-test.sh [quiltana_*.deb]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
metainfo_name=io.github.quiltana.Quiltana.metainfo.xml

fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $*"; }
installed() { dpkg-query -W -f='${Status}' quiltana 2>/dev/null | grep -q 'install ok installed'; }

"$here/scripts/deps.sh" package

step "AppStream metadata"
appstreamcli validate --no-net "$here/data/$metainfo_name"

work=$(mktemp -d)
we_installed=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  if [ -n "$we_installed" ] && installed; then $SUDO dpkg -r quiltana >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

if [ $# -ge 1 ]; then
  deb=$(realpath "$1")
else
  step "building the package"
  "$here/scripts/package.sh" "$work/dist"
  deb=$(ls -1 "$work"/dist/quiltana_*.deb | head -n 1)
fi
[ -f "$deb" ] || fail "no package: $deb"

installed && fail "a quiltana package is installed already; remove it first (dpkg -r quiltana)"

step "package $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Architecture Depends Installed-Size
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libqt6widgets6 libqt6printsupport6 libjpeg62-turbo libpng16-16 fonts-ipafont-gothic qt6-translations-l10n; do
  grep -q "$lib" <<<"$depends" || fail "Depends does not name $lib"
done

step "lintian"
# Errors and warnings fail; infos and the overrides the package carries (each with the reason
# given in it) are shown.
lintian_out=$(lintian --display-info --show-overrides --fail-on none "$deb" 2>&1) || fail "lintian did not run: $lintian_out"
grep -v '^running with root privileges' <<<"$lintian_out" || true
if grep -q '^[EW]: ' <<<"$lintian_out"; then fail "lintian reports errors or warnings"; fi
echo "ok lintian reports no error and no warning"

step "installing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
we_installed=1
installed || fail "dpkg does not list quiltana as installed"
expected=(/usr/bin/quiltana
          /usr/share/man/man1/quiltana.1.gz
          /usr/share/doc/quiltana/copyright
          /usr/share/doc/quiltana/changelog.Debian.gz
          /usr/share/lintian/overrides/quiltana
          /usr/share/applications/quiltana.desktop
          /usr/share/icons/hicolor/scalable/apps/quiltana.svg
          /usr/share/metainfo/$metainfo_name)
for f in "${expected[@]}"; do
  [ -f "$f" ] || fail "missing after install: $f"
  dpkg -S "$f" >/dev/null 2>&1 || fail "$f is not owned by the package"
  echo "ok $f"
done
[ -x /usr/bin/quiltana ] || fail "/usr/bin/quiltana is not executable"
missing_libs=$(ldd /usr/bin/quiltana | grep 'not found' || true)
[ -z "$missing_libs" ] || fail "libraries not found: $missing_libs"
echo "ok every library of /usr/bin/quiltana is found"
appstreamcli validate --no-net "/usr/share/metainfo/$metainfo_name" >/dev/null ||
  fail "the installed metadata does not validate"
echo "ok the installed metadata validates"
desktop_report=$(desktop-file-validate /usr/share/applications/quiltana.desktop 2>&1) &&
  [ -z "$desktop_report" ] || fail "the desktop entry does not validate: $desktop_report"
echo "ok the desktop entry validates, without hints"
[ "$(man -w quiltana)" = /usr/share/man/man1/quiltana.1.gz ] || fail "man does not find quiltana(1)"
man_report=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l /usr/share/man/man1/quiltana.1.gz 2>&1 >/dev/null) &&
  [ -z "$man_report" ] || fail "the manual page renders with warnings: $man_report"
echo "ok man quiltana renders without warnings"
# The program takes Qt's own buttons and dialogs in Japanese from Qt's translations folder.
dpkg -L qt6-translations-l10n | grep '/qtbase_ja\.qm$' >/dev/null || fail "Qt's Japanese catalogue (qtbase_ja.qm) is not installed"
echo "ok Qt's Japanese catalogue is installed"

step "the installed program keeps its work copies in the user's cache"
# A red 2 x 2 picture, 24 bits a pixel, rows padded to 8 bytes.
printf 'BM\x46\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00' >"$work/red.bmp"
printf '\x28\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x01\x00\x18\x00' >>"$work/red.bmp"
printf '\x00\x00\x00\x00\x10\x00\x00\x00\x13\x0b\x00\x00\x13\x0b\x00\x00' >>"$work/red.bmp"
printf '\x00\x00\x00\x00\x00\x00\x00\x00' >>"$work/red.bmp"
printf '\x00\x00\xff\x00\x00\xff\x00\x00\x00\x00\xff\x00\x00\xff\x00\x00' >>"$work/red.bmp"
mkdir -p "$work/cache"
# The work copies are made while the window is created, before it shows; the program then
# waits for its user, so it is ended here once the copy is there.
(cd "$work" && exec env QT_QPA_PLATFORM=offscreen XDG_CACHE_HOME="$work/cache" /usr/bin/quiltana red.bmp \
   >"$work/program.log" 2>&1) &
program_pid=$!
copy="$work/cache/Quiltana/temp/red.bmp.bmp"
for _ in $(seq 1 150); do
  [ -s "$copy" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.2
done
kill "$program_pid" 2>/dev/null || true
wait "$program_pid" 2>/dev/null || true
program_pid=""
[ -s "$copy" ] || { cat "$work/program.log" >&2; fail "no work copy in the cache: $copy"; }
echo "ok $copy"
[ ! -e /usr/bin/temp ] || fail "the program wrote /usr/bin/temp"
echo "ok nothing written beside /usr/bin/quiltana"

step "removing"
files=$(dpkg -L quiltana | while read -r f; do if [ -f "$f" ]; then echo "$f"; fi; done)
$SUDO dpkg -r quiltana >/dev/null
we_installed=""
installed && fail "quiltana is still installed"
status=$(dpkg-query -W -f='${Status}' quiltana 2>/dev/null || true)
case "$status" in
  "" | *not-installed) ;;
  *) fail "dpkg keeps quiltana as: $status" ;;
esac
left=""
while read -r f; do
  if [ -n "$f" ] && [ -e "$f" ]; then left+="$f "; fi
done <<<"$files"
[ -z "$left" ] || fail "left behind: $left"
echo "ok no file of the package is left ($(wc -l <<<"$files") files removed)"
echo "package test passed"
