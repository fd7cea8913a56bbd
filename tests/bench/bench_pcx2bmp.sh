#!/usr/bin/env bash
# Benchmark: vbltool pcx2bmp against netpbm's pcxtoppm on two 4096 x 4096
# 8-bit pictures, whole processes run as a user runs them (no environment
# set), same run: median and best wall time of N runs, the page faults of one
# run (with GNU time, when installed), then the number of _lread calls per
# decode against the target of entry size / 32 KiB + 8. Figures only: nothing
# here passes or fails.
#
# Usage: tests/bench/bench_pcx2bmp.sh [VBLTOOL] [RUNS]
#   VBLTOOL defaults to build/native/vbltool (cmake --preset native first).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
vbltool=${1:-$root/build/native/vbltool}
runs=${2:-5}
[ -x "$vbltool" ] || { echo "no $vbltool: build the native preset first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two pictures of 4096 x 4096 at 8 bits: "drawn", a photo enlarged to big
# flat areas as a level picture has them, and "noisy", half smooth ramp and
# half noise, the worst case for run-length data.
convert rose: -colors 256 -filter point -resize '4096x4096!' -type palette "$work/drawn.pcx"
pgmramp -ellipse 4096 2048 > "$work/top.pgm"
pgmnoise 4096 2048 > "$work/bottom.pgm"
pnmcat -tb "$work/top.pgm" "$work/bottom.pgm" | ppmtopcx -8bit > "$work/noisy.pcx" 2>/dev/null

now_ns() { date +%s%N; }
times_ms() {  # times_ms OUTPUT COMMAND... : "median best" wall time of $runs runs, in ms
  local out=$1 t0 t1
  shift
  for ((i = 0; i < runs; i++)); do
    rm -f "$out"  # not timed: both tools write a fresh file
    t0=$(now_ns)
    "$@"
    t1=$(now_ns)
    echo $(( (t1 - t0) / 1000 ))
  done | sort -n | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.1f %.1f\n", m / 1000, v[1] / 1000 }'
}
faults() {  # faults COMMAND... : minor page faults of one run, or "?"
  if [ -x /usr/bin/time ]; then /usr/bin/time -f %R -o "$work/faults" "$@" && cat "$work/faults"; else echo "?"; fi
}
ours() { "$vbltool" pcx2bmp "$1" "$work/out.bmp"; }
theirs() { pcxtoppm "$1" > "$work/out.ppm"; }

for name in drawn noisy; do
  pic="$work/$name.pcx"
  size=$(stat -c %s "$pic")
  ours "$pic"; theirs "$pic"  # warm the page cache
  read -r t_ours b_ours < <(times_ms "$work/out.bmp" ours "$pic")
  read -r t_theirs b_theirs < <(times_ms "$work/out.ppm" theirs "$pic")
  f_ours=$(faults "$vbltool" pcx2bmp "$pic" "$work/out.bmp")
  f_theirs=$(faults sh -c 'pcxtoppm "$1" > "$2"' sh "$pic" "$work/out.ppm")
  calls=$(VBLTOOL_STATS=1 "$vbltool" pcx2bmp "$pic" "$work/out.bmp" 2>&1 >/dev/null | sed -n 's/.*: \([0-9]*\) read calls/\1/p')
  echo "$name: 4096 x 4096, 8 bits, $size bytes of PCX"
  echo "  vbltool pcx2bmp ${t_ours} ms (best ${b_ours}), pcxtoppm ${t_theirs} ms (best ${b_theirs}), medians of $runs" \
    "$(awk -v a="$t_theirs" -v b="$t_ours" 'BEGIN { if (b < 0.1) b = 0.1; printf "-> %.1fx faster (target 3x)", a / b }')"
  echo "  page faults of one run: vbltool pcx2bmp ${f_ours}, pcxtoppm ${f_theirs}"
  echo "  read calls per decode: ${calls:-unknown} (target: at most $((size / 32768 + 8)))"
done
