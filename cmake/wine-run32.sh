#!/usr/bin/env bash
# Runs a 32-bit Windows program under 32-bit Wine, emulated (cmake/emu32-setup.sh
# makes the environment on first use), in a private prefix of its own, on a
# virtual display when there is none. The win32 build's cross-compiling
# emulator and `tools/run.sh --product`'s runner.
#
#   cmake/wine-run32.sh PROGRAM.exe [ARGS...]
#   cmake/wine-run32.sh --command COMMAND [ARGS...]
#
# The second form runs any command in that environment, where
# cmake/wine-run.sh starts 32-bit programs: the end-to-end script runs there
# as it is. The source tree, the current folder and the prefixes are seen at
# the same paths inside.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Root inside is the host's root (see emu32-enter.sh), and Wine uses only a
# prefix its own user owns: the prefixes are made as root too.
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env "$0" "$@"
fi
root=$("$here/emu32-setup.sh")

# Beside the 64-bit prefix: one prefix for the programs, one for the
# end-to-end script (which would otherwise make its own inside the root).
prefixes=${VBL_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vbllm-wine}-i686
mkdir -p "$prefixes"
# One run at a time on these prefixes, each started after the last one's
# processes are all gone: a program started while an earlier run on the same
# prefix was being torn down died silently, reported as success.
exec 7>"$prefixes/run.lock"
if ! flock -n 7; then
  echo "wine-run32: waiting for another 32-bit run on $prefixes" >&2
  flock 7
fi
export VBL_WINEPREFIX=$prefixes/prefix
export VBL_E2E_WINEPREFIX=$prefixes/e2e
src=$(dirname "$here")
export VBL_EMU32_BINDS="$src:$prefixes${VBL_EMU32_BINDS:+:$VBL_EMU32_BINDS}"
# The product is linked statically: 32-bit runs need no MinGW DLL folder, and
# a 64-bit one in WINEPATH breaks the 32-bit half of a new prefix.
unset WINEPATH WINEPREFIX
# A real display's cookie, where the root's own home would not have it.
cookie=${XAUTHORITY:-$HOME/.Xauthority}
if [ -n "${DISPLAY:-}" ] && [ -f "$cookie" ]; then
  cp "$cookie" "$prefixes/Xauthority"
  export XAUTHORITY=$prefixes/Xauthority
fi

if [ "${1:-}" = --command ]; then
  shift
  exec "$here/emu32-enter.sh" "$root" "$@"
fi
exec "$here/emu32-enter.sh" "$root" "$here/wine-run.sh" "$@"
