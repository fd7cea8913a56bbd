#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine in the project's private prefix,
# on a virtual display when there is no display. Used by ctest as the
# cross-compiling emulator and by the README's run command.
#
# VBL_DPI=N (other than 96) runs it with the display at N DPI, in a prefix of
# its own beside the usual one ("$VBL_WINEPREFIX-dpiN"), made once from it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${VBL_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vbllm-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
if [ -z "${DISPLAY:-}" ] && [ -z "${VBL_NO_XVFB:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
"$here/wine-prefix.sh"
case "${VBL_DPI:-96}" in
96) ;;
*[!0-9]* | 0*) echo "wine-run: VBL_DPI must be a number of dots per inch, not '$VBL_DPI'" >&2; exit 2 ;;
*)
  base=$WINEPREFIX
  export WINEPREFIX=$base-dpi$VBL_DPI
  "$here/wine-prefix.sh" --dpi "$VBL_DPI" --from "$base"
  ;;
esac
exec wine "$@"
