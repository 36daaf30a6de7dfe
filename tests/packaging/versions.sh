#!/bin/sh
# The package's files name the version being packaged: the newest changelog entry the package
# version (program version and package revision), the manual page's header and the newest
# release of the AppStream metadata the program version.
# Usage: versions.sh <data folder> <program version> <package revision>
set -u
data=$1 version=$2 revision=$3
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

changelog=$(dpkg-parsechangelog -l "$data/changelog.Debian" -S Version) || fail "changelog.Debian does not parse"
[ "$changelog" = "$version-$revision" ] ||
  fail "changelog.Debian's newest entry is $changelog, the package is $version-$revision"
grep '^\.TH ' "$data/quiltana.1" | grep -qF "\"Quiltana $version\"" ||
  fail "the manual page's .TH line does not name Quiltana $version"
newest=$(grep -o '<release version="[^"]*"' "$data/io.github.quiltana.Quiltana.metainfo.xml" | head -n 1)
[ "$newest" = "<release version=\"$version\"" ] || fail "the metadata's newest release is $newest, not $version"
exit $status
