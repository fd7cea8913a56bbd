#!/usr/bin/env bash
# The 32-bit vbltool.exe (emulated) makes the same bytes as the Linux vbltool
# with `picture`: its float scaling must round as the 64-bit builds do. A few
# inputs only: PNG scaled, JPEG scaled and dithered, BMP cropped; run-length
# BMPs (8-bit scaled, 4-bit) and a 16-bit PNG, rewritten or narrowed first; a
# top-down BMP and a 16-bit PPM, read by vbltool's own code.
# Usage: picture_same_bytes.sh RUNNER VBLTOOL.EXE
# The Linux vbltool is the native preset's, built here when missing.
set -uo pipefail
runner=$1 exe=$2
src=$(cd "$(dirname "$0")/../.." && pwd)
native=$src/build/native/vbltool
if [ ! -x "$native" ]; then
  (cd "$src" && cmake --preset native >/dev/null && cmake --build --preset native --target vbltool >/dev/null) || exit 1
fi
. "$src/tests/diff/cli_helpers.sh"
convert -size 900x500 -seed 3 plasma:fractal -depth 8 shot.png
convert shot.png -quality 85 shot.jpg
convert -size 500x300 -seed 7 plasma:fractal -depth 8 -type truecolor shot.bmp
convert logo: logo.bmp
python3 "$src/tests/diff/rle_bmp.py" rle4 rle4 301 77 8 108
convert shot.png +dither -colors 64 -depth 16 deep.png
python3 "$src/tests/diff/top_down_bmp.py" shot.bmp top-down.bmp
convert shot.png -depth 16 shot16.ppm
while read -r input option; do
  expect 0 "linux: picture $input $option" "$native" picture "$input" linux.pcx $option
  expect 0 "32-bit: picture $input $option" "$runner" "$exe" picture "$input" win32.pcx $option
  cmp -s linux.pcx win32.pcx || fail "picture $input $option: the 32-bit program wrote other bytes"
done <<'TABLE'
shot.png
shot.jpg --dither
shot.bmp --crop
logo.bmp
rle4.bmp
deep.png
top-down.bmp --dither
shot16.ppm
TABLE
echo "$failures failures"
[ $failures = 0 ]
