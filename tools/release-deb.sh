#!/usr/bin/env bash
# Builds vbltool's Debian package of the commit checked out here, as committed:
#   dist/vbltool_<version>_<arch>.deb
# It installs the few packages it needs (tools/install-deps.sh --vbltool), exports
# the commit to a fresh temporary folder, builds vbltool alone there (the
# native preset without the tests) and packs it with tools/pack-deb.sh, dated
# at the commit's time. One commit gives the same bytes wherever it is built:
# tools/check-release.sh compares one made in another clone with the package
# of build/native.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh --vbltool

source tools/export-commit.sh release-deb.sh
(
  cd "$src"
  cmake --preset native -DBUILD_TESTING=OFF >/dev/null
  cmake --build --preset native -j2 --target vbltool >/dev/null
)
deb=$("$src/tools/pack-deb.sh" "$src/build/native" "$work/out")
mkdir -p dist
cp "$deb" dist/
echo "vbltool package of $commit: $root/dist/$(basename "$deb")"
