#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Never adds the i386 architecture: these machines run only 64-bit code,
# and wine32 would make /usr/bin/wine pick a loader that cannot start. The
# 32-bit Wine lives in an emulated environment of its own
# (cmake/emu32-setup.sh): the host needs only what makes and enters it.
set -euo pipefail
pkgs=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64
  googletest
  wine wine64 fonts-wine xvfb xauth xdotool x11-apps imagemagick
  netpbm file python3 libstb-dev gcovr
  util-linux coreutils wget gpgv debian-archive-keyring
  dpkg-dev lintian man-db groff-base
)
# --vbltool: only what vbltool's Linux build and its Debian package need
# (tools/release-deb.sh), for a level author who wants nothing else.
if [ "${1:-}" = --vbltool ]; then
  pkgs=(cmake ninja-build g++ libstb-dev dpkg-dev git)
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
