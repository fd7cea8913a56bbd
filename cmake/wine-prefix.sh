#!/usr/bin/env bash
# Creates the private Wine prefix once, with the "MS Sans Serif" face of the
# fonts-wine package, so that dialog units come out as on Windows. Safe to run
# from several processes at once.
set -euo pipefail
: "${WINEPREFIX:?}"
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock 9
# wineboot and reg are 64-bit programs: where the 32-bit loader is installed
# too (the emulated 32-bit environment), plain "wine" would start them emulated.
wine64=wine
[ -x /usr/lib/wine/wine ] && wine64=/usr/lib/wine/wine64
if [ ! -f "$WINEPREFIX/.vbl-ready-2" ]; then
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
  touch "$WINEPREFIX/.vbl-ready-2"
fi
