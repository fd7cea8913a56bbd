#!/usr/bin/env bash
# Creates the private Wine prefix once, with the "MS Sans Serif" face of the
# fonts-wine package, so that dialog units come out as on Windows. Safe to run
# from several processes at once.
#
#   WINEPREFIX=P cmake/wine-prefix.sh
#   WINEPREFIX=P-dpiN cmake/wine-prefix.sh --dpi N --from P
#
# The second form makes P-dpiN once, as a copy of the ready prefix P (a new
# prefix takes minutes when emulated) whose registry sets the display to N
# DPI: Wine reads it when its server starts.
set -euo pipefail
: "${WINEPREFIX:?}"
dpi=
base=
while [ $# -gt 0 ]; do
  case "$1" in
  --dpi) dpi=$2 ;;
  --from) base=$2 ;;
  *) echo "wine-prefix: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
# wineboot and reg are 64-bit programs: where the 32-bit loader is installed
# too (the emulated 32-bit environment), plain "wine" would start them emulated.
wine64=wine
[ -x /usr/lib/wine/wine ] && wine64=/usr/lib/wine/wine64
# A new marker makes every prefix anew, the copies at other DPIs with it.
ready=.vbl-ready-2

if [ -n "$dpi" ]; then
  [ -f "$WINEPREFIX/$ready-dpi-$dpi" ] && exit 0
  [ -f "$base/$ready" ] || { echo "wine-prefix: $base is not ready" >&2; exit 2; }
  find "$WINEPREFIX" -mindepth 1 -delete
  cp -a "$base/." "$WINEPREFIX/"
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$wine64" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  done
  wineserver -w || true
  touch "$WINEPREFIX/$ready-dpi-$dpi"
  exit 0
fi

if [ ! -f "$WINEPREFIX/$ready" ]; then
  WINEDEBUG=-all "$wine64" wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
  # A virtual desktop: Wine draws the frames itself, and hiding a window does
  # not wait for a window manager that a bare X server does not have.
  "$wine64" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine64" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
  wineserver -w || true
  touch "$WINEPREFIX/$ready"
fi
