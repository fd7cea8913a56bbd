#!/usr/bin/env bash
# Makes vbltool's Debian package from a Linux build tree in which vbltool is
# built, and prints its path:
#   tools/pack-deb.sh BUILD_DIR OUT_DIR   ->  OUT_DIR/vbltool_<version>_<arch>.deb
# It holds what `cmake --install` puts under /usr, laid out as Debian's own
# packages are: the program stripped, the manual page gzipped, the licence and
# the notices in the copyright file, and a changelog. <version> is the CMake
# project's; Depends is worked out by dpkg-shlibdeps from the libraries the
# program needs. Every file is dated SOURCE_DATE_EPOCH (when unset, the time of
# the commit checked out beside this script), owned by root and given fixed
# modes, and dpkg-deb compresses with one thread, so that the same build gives
# the same bytes anywhere, whatever the umask or the number of cores.
# tools/release-deb.sh makes the package of a commit; tests/package checks it.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: tools/pack-deb.sh BUILD_DIR OUT_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct 2>/dev/null) || {
    echo "pack-deb.sh: set SOURCE_DATE_EPOCH (no git commit beside this script to take it from)" >&2
    exit 1
  }
fi
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  echo "pack-deb.sh: $build/CMakeCache.txt holds no project version: not a configured build tree" >&2
  exit 1
fi
arch=$(dpkg --print-architecture)
# The project's contact, as the launcher's version record gives it.
maintainer='vblLM team <equipe@vbllm.example.org>'

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
umask 022
# dpkg-shlibdeps reads debian/control and expects the package's files in
# debian/<package>: a stand-in source tree of that shape.
mkdir "$work/debian"
printf 'Source: vbltool\n\nPackage: vbltool\nArchitecture: any\n' >"$work/debian/control"
root=$work/debian/vbltool
DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
doc=$root/usr/share/doc/vbltool
for f in usr/bin/vbltool usr/share/man/man1/vbltool.1 usr/share/doc/vbltool/LICENSE usr/share/doc/vbltool/NOTICES.txt; do
  if [ ! -f "$root/$f" ]; then
    echo "pack-deb.sh: cmake --install $build put no $f: is vbltool built there?" >&2
    exit 1
  fi
done

# As dh_strip does for a program: no symbols, no compiler notes.
strip --remove-section=.comment --remove-section=.note "$root/usr/bin/vbltool"
gzip -9n "$root/usr/share/man/man1/vbltool.1"
gzip -9n "$doc/vbltool.md"
{
  echo "vbltool: the level authors' tool of vblLM, the Vorbel level manager."
  echo
  echo "On Debian systems the GNU General Public License, version 3, that the GCC"
  echo "runtime's notice below names is in /usr/share/common-licenses/GPL-3."
  echo
  cat "$doc/LICENSE"
  echo
  echo
  cat "$doc/NOTICES.txt"
} >"$doc/copyright"
rm "$doc/LICENSE" "$doc/NOTICES.txt"
{
  echo "vbltool ($version) unstable; urgency=medium"
  echo
  echo "  * vbltool $version, from the vblLM $version sources."
  echo
  echo " -- $maintainer  $(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n >"$doc/changelog.gz"

mkdir "$root/DEBIAN" # where dpkg-shlibdeps finds the package's root
depends=$(cd "$work" && dpkg-shlibdeps -O -edebian/vbltool/usr/bin/vbltool | sed -n 's/^shlibs:Depends=//p')
if [ -z "$depends" ]; then
  echo "pack-deb.sh: dpkg-shlibdeps found no library that vbltool needs" >&2
  exit 1
fi
# Installed-Size as dpkg-gencontrol counts it: KiB per file, rounded up, and
# one per folder.
size=$(find "$root" -mindepth 1 \( -type f -printf '%s\n' \) -o \( -type d -printf '1024\n' \) |
  awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')

cat >"$root/DEBIAN/control" <<EOF
Package: vbltool
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $size
Depends: $depends
Section: utils
Priority: optional
Description: level authors' tool of the Vorbel level manager
 vbltool checks and builds the level archives of the game Vorbel with the
 code of vblLM, the game's level manager and launcher, so that what it
 accepts is what the launcher shows. It makes a level's picture from a
 screenshot, packs and unpacks archives (safely, whoever made them), checks
 them before they are published, and shows the parameter string the game
 receives.
EOF
(cd "$root" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"

find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root/usr/bin/vbltool"
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
deb=$out/vbltool_${version}_${arch}.deb
dpkg-deb --root-owner-group --threads-max=1 -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
