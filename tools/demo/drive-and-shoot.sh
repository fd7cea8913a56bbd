#!/usr/bin/env bash
# Runs $VBL_PROGRAM (default: the current folder's vblLM.exe) in the current
# folder on the current (virtual) display, acts as a person would (Down:
# first level; Tab, Space: tick the viewer), saves a screenshot to
# $VBL_SCREENSHOT and closes the program.
set -euo pipefail
root=$1
"$root/cmake/wine-run.sh" "${VBL_PROGRAM:-vblLM.exe}" &
pid=$!
# Wine shows its windows inside one virtual-desktop X window.
for _ in $(seq 1 120); do
  xdotool search --name 'Wine desktop' >/dev/null 2>&1 && break
  sleep 0.5
done
# The dialog is drawn on the desktop seconds later (longer for the 32-bit
# build, emulated): wait until the screen is no longer one colour.
for _ in $(seq 1 60); do
  import -window root "$VBL_SCREENSHOT"
  [ "$(convert "$VBL_SCREENSHOT" -format %k info:)" -gt 1 ] && break
  sleep 1
done
sleep 1
# Without a window manager, keys go to the X window under the pointer.
xdotool mousemove 5 5
xdotool key Down
sleep 0.5
xdotool key Tab space
sleep 1.5
import -window root "$VBL_SCREENSHOT"
echo "screenshot: $VBL_SCREENSHOT"
# The prefix that cmake/wine-run.sh ran it in (one of its own at a DPI other than 96).
prefix=${VBL_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vbllm-wine}
case "${VBL_DPI:-96}" in 96) ;; *) prefix=$prefix-dpi$VBL_DPI ;; esac
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
wait "$pid" 2>/dev/null || true
