#!/usr/bin/env bash
# Run by hand, never by ctest (a few minutes, ~150 MB downloaded): vbltool as
# a level author gets it on a bare Debian, in a fresh minimal root
# (debootstrap --variant=minbase) where nothing but what it installs is there.
#   tests/package/minimal_root.sh [DEB]
# In the root: installs the packages that the README's section for authors
# names, configures the commit checked out here (as committed) with
# -DBUILD_TESTING=OFF, builds and installs vbltool and runs it, then shows its
# manual page with man. Given DEB (tools/release-deb.sh's package), installs it
# with apt, whose Depends must be met from the mirror, runs it and removes it.
# Needs root (debootstrap makes device nodes), in private mount and pid
# namespaces; the root is made in a temporary folder and removed at the end.
# Its packages come from the mirror that the machine's apt sources name
# (cmake/apt-mirror.sh), or from VBL_DEBIAN_MIRROR.
set -euo pipefail
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
deb=${1:+$(realpath "$1")}
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env "$0" "$@"
fi
mirror=${VBL_DEBIAN_MIRROR:-$("$src/cmake/apt-mirror.sh" || true)}
if [ -z "$mirror" ]; then
  echo "minimal_root: no Debian mirror in the apt sources; set VBL_DEBIAN_MIRROR" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
started=$SECONDS

# debootstrap itself, unpacked here: the host gets no package.
mkdir "$work/debootstrap"
(cd "$work/debootstrap" && apt-get -qq -o APT::Sandbox::User=root download debootstrap &&
  dpkg-deb -x debootstrap_*.deb .)
echo "== debootstrap --variant=minbase bookworm from $mirror"
DEBOOTSTRAP_DIR=$work/debootstrap/usr/share/debootstrap \
  unshare --mount --pid --fork --kill-child -- \
  "$work/debootstrap/usr/sbin/debootstrap" --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -n 20 "$work/debootstrap.log"; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
echo "== root made in $((SECONDS - started)) s"

mkdir "$root/src"
git -C "$src" archive HEAD | tar -x -C "$root/src"
[ -z "$deb" ] || cp "$deb" "$root/"
inside() { # inside SCRIPT: runs SCRIPT with sh -eux as the root's root, /proc and /dev mounted
  unshare --mount --pid --fork --kill-child -- sh -euc '
    mount --rbind /dev "$1/dev" && mount -t proc proc "$1/proc"
    exec chroot "$1" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
      DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 sh -eux -c "$2"' sh "$root" "$1"
}
inside '
  apt-get -qq update
  apt-get -qq install -y --no-install-recommends cmake make g++ libstb-dev man-db >/dev/null
  cmake -S /src -B /build -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release
  cmake --build /build --target vbltool -j2
  cmake --install /build
  vbltool --version
  ls -l /usr/local/bin/vbltool /usr/local/share/man/man1/vbltool.1 /usr/local/share/doc/vbltool
  man -w vbltool
  MANWIDTH=80 man vbltool | head -n 12
'
if [ -n "$deb" ]; then
  inside '
    rm -rf /usr/local/bin/vbltool /usr/local/share/man/man1/vbltool.1 /usr/local/share/doc/vbltool
    apt-get -qq purge -y g++ cmake libstb-dev >/dev/null && apt-get -qq autoremove -y >/dev/null
    apt-get install -y --no-install-recommends ./'"$(basename "$deb")"'
    vbltool --version
    man -w vbltool
    dpkg -L vbltool
    apt-get remove -y vbltool
    test ! -e /usr/bin/vbltool && test ! -e /usr/share/man/man1/vbltool.1.gz
    if dpkg-query -W -f="\${Status}" vbltool | grep -q " installed"; then exit 1; fi
  '
fi
echo "== minimal root: all done in $((SECONDS - started)) s"
