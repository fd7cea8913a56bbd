#!/usr/bin/env bash
# Benchmark: vbltool picture against ImageMagick's
# `convert IN -resize 407x263 -colors 256 OUT.pcx` on 1920 x 1080 PNG
# screenshots, both run as an author runs them, best and median wall time of
# N runs each. Figures only: nothing here passes or fails.
#
# Usage: tests/bench/bench_picture.sh [VBLTOOL] [RUNS]
#   VBLTOOL defaults to build/native/vbltool (cmake --preset native first).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
vbltool=${1:-$root/build/native/vbltool}
runs=${2:-9}
[ -x "$vbltool" ] || { echo "no $vbltool: build the native preset first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "scenery": a plasma fractal, every pixel its own colour; "interface": flat
# panels and gradients over it, as a game's screen has them.
convert -size 1920x1080 -seed 7 plasma:fractal -depth 8 "$work/scenery.png"
convert "$work/scenery.png" -fill '#203040' -draw 'rectangle 0,900 1919,1079' \
  \( -size 600x400 gradient:navy-gold \) -geometry +80+80 -composite \
  -fill white -draw 'rectangle 1500,100 1800,160' -depth 8 "$work/interface.png"

ms_of() {  # ms_of COMMAND...: its wall time in ms
  local t0 t1
  t0=$(date +%s%N)
  "$@"
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}
for name in scenery interface; do
  png=$work/$name.png
  "$vbltool" picture "$png" "$work/ours.pcx"  # warm the page cache
  # Runs alternate, so that the machine's other work weighs on both alike.
  for ((i = 0; i < runs; i++)); do
    echo "$(ms_of "$vbltool" picture "$png" "$work/ours.pcx") $(ms_of convert "$png" -resize 407x263 -colors 256 "$work/theirs.pcx")"
  done > "$work/times"
  echo "$name: 1920 x 1080 PNG, $(stat -c %s "$png") bytes"
  paste <(cut -d' ' -f1 "$work/times" | sort -n) <(cut -d' ' -f2 "$work/times" | sort -n) | awk -v runs="$runs" '
    { ours[NR] = $1; theirs[NR] = $2 }
    END {
      m = int((runs + 1) / 2)
      printf "  vbltool picture: best %d ms, median %d ms\n", ours[1], ours[m]
      printf "  convert -resize 407x263 -colors 256: best %d ms, median %d ms\n", theirs[1], theirs[m]
      printf "  ratio (vbltool / convert): best %.2f, median %.2f (target: at most 0.50)\n",
        ours[1] / theirs[1], ours[m] / theirs[m]
    }'
done
