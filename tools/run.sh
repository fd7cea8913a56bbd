#!/usr/bin/env bash
# Builds vblLM (64-bit, the build that runs here) and runs it under Wine, in
# GAME_DIR when given, else in a demo game folder. With a display the window
# opens there; without one it runs on a virtual display, ticks the viewer on
# the first level, saves a screenshot and prints its path.
# usage: tools/run.sh [GAME_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target vblLM vorbel_standin
cmake --preset native >/dev/null
cmake --build --preset native -j2 --target vbltool

game=${1:-}
if [ -z "$game" ]; then
  game=$(tools/demo/make-demo.sh build/win64 build/native/vbltool "$root/build/demo")
  echo "demo game folder: $game"
fi
# The program runs from the build tree with the game folder as its current
# directory: nothing is written into a player's folder.
export VBL_PROGRAM="$root/build/win64/vblLM.exe"
cd "$game"

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/cmake/wine-run.sh" "$VBL_PROGRAM"
fi

shot="$root/build/vblLM-screenshot.png"
export VBL_SCREENSHOT="$shot"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/tools/demo/drive-and-shoot.sh" "$root"
