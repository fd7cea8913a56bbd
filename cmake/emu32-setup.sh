#!/usr/bin/env bash
# Makes, once, the environment in which the 32-bit Windows programs run on a
# machine that executes only 64-bit code, and prints its root folder:
# a Debian bookworm amd64 root (debootstrap, unpacked here, never installed
# on the host) holding 64-bit and 32-bit Wine, Xvfb and the end-to-end tools,
# and qemu-i386 (user-mode emulation, bookworm-backports) that runs the i386
# code. Only the 32-bit Wine and the programs it starts are emulated.
#
# Cached in ${VBL_EMU32_DIR:-~/.cache/vbllm-emu32}; safe when several
# processes start at once, and a set-up that was interrupted starts again
# from nothing. About 500 MB downloaded, 2 GB on disk, from the mirror that
# the machine's apt sources name (VBL_EMU32_MIRROR overrides it).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
base=${VBL_EMU32_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vbllm-emu32}
ready=$base/ready-1
root=$base/root
if [ ! -f "$ready" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env "$0" "$@"
  fi
  mkdir -p "$base"
  exec 8>"$base.lock"
  flock 8
fi
if [ -f "$ready" ]; then
  echo "$root"
  exit 0
fi

# The machine's own Debian mirror, so that the set-up fetches wherever the
# machine is configured to.
mirror=${VBL_EMU32_MIRROR:-$("$here/apt-mirror.sh" || true)}
mirror=${mirror%/}
if [ -z "$mirror" ]; then
  echo "emu32: no Debian mirror found in /etc/apt/sources.list or /etc/apt/sources.list.d;" \
    "set VBL_EMU32_MIRROR to one (the URI of a Debian archive that serves bookworm)" >&2
  exit 1
fi

started=$(date +%s)
echo "emu32: first use: setting up the 32-bit Windows environment in $base (a few minutes, ~500 MB)" >&2
# Whatever an interrupted set-up left: its mounts died with its namespaces.
rm -rf "$root" "$base/debootstrap"
mkdir -p "$base/debootstrap"
(cd "$base/debootstrap" && apt-get -qq -o APT::Sandbox::User=root download debootstrap &&
  dpkg-deb -x debootstrap_*.deb .)

# debootstrap as the host's root (it makes device nodes), in private mount
# and pid namespaces so that its mounts never reach the host.
DEBOOTSTRAP_DIR=$base/debootstrap/usr/share/debootstrap \
  unshare --mount --pid --fork --kill-child -- \
  "$base/debootstrap/usr/sbin/debootstrap" --variant=minbase --arch=amd64 bookworm "$root" "$mirror" \
  >"$base/debootstrap.log" 2>&1 || {
  tail -n 20 "$base/debootstrap.log" >&2
  echo "emu32: debootstrap from $mirror failed (VBL_EMU32_MIRROR names another mirror)" >&2
  exit 1
}
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

# qemu-user 7.2 (bookworm) needs about a minute to start each 32-bit process;
# the backports build does not. Only its qemu-i386 is kept.
"$here/emu32-enter.sh" "$root" /bin/sh -euc '
  export DEBIAN_FRONTEND=noninteractive
  echo "deb $1 bookworm-backports main" >/etc/apt/sources.list.d/backports.list
  apt-get -qq update
  cd /tmp && dir=$(mktemp -d) && cd "$dir"
  apt-get -qq -o APT::Sandbox::User=root download -t bookworm-backports qemu-user
  dpkg-deb -x qemu-user_*.deb x
  install -m 755 x/usr/bin/qemu-i386 /usr/local/bin/qemu-i386
  cd / && rm -rf "$dir"
' sh "$mirror" >&2

# With qemu-i386 registered, the i386 packages' own scripts can run.
"$here/emu32-enter.sh" "$root" /bin/sh -euc '
  export DEBIAN_FRONTEND=noninteractive
  dpkg --add-architecture i386
  apt-get -qq update
  apt-get -qq install -y --no-install-recommends \
    wine wine32:i386 wine64 fonts-wine xvfb xauth xdotool imagemagick python3 procps >/dev/null
  apt-get -qq clean
  /usr/local/bin/qemu-i386 --version | head -n 1
' >&2
touch "$ready"
echo "emu32: set up in $(( $(date +%s) - started )) s" >&2
echo "$root"
