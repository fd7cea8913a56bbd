#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in the project's private prefix,
# on a virtual display when there is no display. Used by ctest as the
# cross-compiling emulator and by the README's run command.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${VBL_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vbllm-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
if [ -z "${DISPLAY:-}" ] && [ -z "${VBL_NO_XVFB:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
"$here/wine-prefix.sh"
exec wine "$@"
