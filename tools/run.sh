#!/usr/bin/env bash
# Builds vblLM and runs it under Wine, in GAME_DIR when given, else in a demo
# game folder. With a display the window opens there; without one it runs on
# a virtual display, ticks the viewer on the first level, saves a screenshot
# and prints its path.
# usage: tools/run.sh [--product] [--dpi N] [GAME_DIR]
#   default    the 64-bit build, under the host's 64-bit Wine (fast)
#   --product  the shipped 32-bit build/win32/vblLM.exe, under 32-bit Wine in
#              the emulated environment (set up on first use, a few minutes)
#   --dpi N    the display at N DPI (96 is 100 %, 120 is 125 %, 144 is 150 %),
#              in a Wine prefix of its own, made on first use
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
preset=win64
inside=() # the 64-bit build runs on the host
while [ $# -gt 0 ]; do
  case "$1" in
  --product)
    preset=win32
    inside=("$root/cmake/wine-run32.sh" --command)
    shift
    ;;
  --dpi)
    [[ "${2:-}" =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: --dpi takes a number of dots per inch" >&2; exit 2; }
    export VBL_DPI=$2 # cmake/wine-run.sh picks the prefix
    shift 2
    ;;
  *) break ;;
  esac
done
game=${1:-}
[ -z "$game" ] || game=$(realpath "$game")
cd "$root"
tools/install-deps.sh
cmake --preset $preset >/dev/null
cmake --build --preset $preset -j2 --target vblLM vorbel_standin
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target vbltool

if [ -z "$game" ]; then
  game=$(tools/demo/make-demo.sh build/$preset build/native/vbltool "$root/build/demo")
  echo "demo game folder: $game"
fi
# The program runs from the build tree with the game folder as its current
# directory: nothing is written into a player's folder.
export VBL_PROGRAM="$root/build/$preset/vblLM.exe"
cd "$game"

if [ -n "${DISPLAY:-}" ]; then
  exec "${inside[@]}" "$root/cmake/wine-run.sh" "$VBL_PROGRAM"
fi

shot="$root/build/vblLM-screenshot.png"
export VBL_SCREENSHOT="$shot"
exec "${inside[@]}" xvfb-run -a -s "-screen 0 1280x1024x24" "$root/tools/demo/drive-and-shoot.sh" "$root"
