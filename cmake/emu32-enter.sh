#!/usr/bin/env bash
# Runs a command as root inside the 32-bit Windows environment made by
# cmake/emu32-setup.sh, in new user, mount and pid namespaces:
#
#   cmake/emu32-enter.sh ROOT COMMAND [ARGS...]
#
# Inside, i386 ELF programs run under the root's qemu-i386, registered in the
# namespace's own binfmt_misc (Linux >= 6.7 gives every user namespace one):
# the host's binfmt_misc and its packages are never touched. /dev, /tmp and
# the folders named in VBL_EMU32_BINDS (colon-separated) and the current one
# appear inside at the same absolute paths, so that paths given to the
# command (Z:/... for Wine) mean the same thing on both sides. Every process
# started inside ends with the command.
set -euo pipefail
self=$(realpath "${BASH_SOURCE[0]}")
root=$1
shift

case "${VBL_EMU32_STAGE:-host}" in
host)
  # The namespaces map user ids 0-65535 one to one, so that files the root's
  # packages own keep their owners; only the host's root may map them.
  if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env "$self" "$root" "$@"
  fi
  VBL_EMU32_STAGE=mapped unshare --user --mount --pid --fork --kill-child -- "$self" "$root" "$@" <&0 &
  inner=$!
  trap 'kill "$inner" 2>/dev/null || true' INT TERM HUP
  outer_ns=$(readlink /proc/self/ns/user)
  while [ "$(readlink "/proc/$inner/ns/user" 2>/dev/null || echo gone)" = "$outer_ns" ]; do
    sleep 0.01
  done
  echo "0 0 65536" >"/proc/$inner/uid_map" 2>/dev/null || true
  echo "0 0 65536" >"/proc/$inner/gid_map" 2>/dev/null || true
  status=0
  wait "$inner" || status=$?
  exit "$status"
  ;;
mapped)
  # Started before the ids were mapped, hence without capabilities: wait for
  # the map, then start again as the namespace's root.
  for _ in $(seq 1 500); do
    [ -n "$(cat /proc/self/uid_map)" ] && break
    sleep 0.01
  done
  [ "$(id -u)" -eq 0 ] || { echo "emu32-enter: no user id map" >&2; exit 2; }
  VBL_EMU32_STAGE=root exec "$self" "$root" "$@"
  ;;
esac

# Here: root of the new namespaces, pid 1, still seeing the host's files.
unset VBL_EMU32_STAGE
mount --rbind /dev "$root/dev"
mount -t proc proc "$root/proc"
mount --bind /tmp "$root/tmp"
# A private folder for wineserver sockets: a Wine process never joins a
# wineserver of another run, which would vanish with that run's namespace.
mkdir -p "$root/tmp/.wine-0"
mount -t tmpfs -o mode=700 tmpfs "$root/tmp/.wine-0"
IFS=: read -r -a binds <<<"${VBL_EMU32_BINDS:-}"
for dir in "${binds[@]}" "$PWD"; do
  if [ -z "$dir" ] || [ ! -d "$dir" ]; then continue; fi
  dir=$(realpath "$dir")
  case "$dir" in / | /tmp | /tmp/*) continue ;; esac # seen already; /tmp's own would hide .wine-0
  mkdir -p "$root$dir"
  mount --rbind "$dir" "$root$dir"
done
if [ -x "$root/usr/local/bin/qemu-i386" ]; then
  mount -t binfmt_misc binfmt_misc "$root/proc/sys/fs/binfmt_misc" || {
    echo "emu32-enter: no binfmt_misc of a user namespace's own here (needs Linux >= 6.7)" >&2
    exit 2
  }
  # F: the emulator is opened now, by its path outside the root; P: it gets
  # the program's own argv[0].
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::$magic:$mask:$root/usr/local/bin/qemu-i386:FP" \
    >"$root/proc/sys/fs/binfmt_misc/register"
fi
# The command must not be pid 1 (xvfb-run waits there for a signal that
# never comes): it runs as a child of this shell.
status=0
HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  chroot "$root" /bin/sh -c 'cd "$1" && shift && exec "$@"' sh "$PWD" "$@" || status=$?
exit "$status"
