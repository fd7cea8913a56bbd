#!/usr/bin/env bash
# Benchmark: vbltool pcx2bmp against netpbm's pcxtoppm on one 4096 x 4096
# 8-bit picture (half smooth ramp, half noise), whole processes, same run,
# best of N; then the number of _lread calls per decode against the target
# of entry size / 32 KiB + 8. Figures only: nothing here passes or fails.
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
best_ms() {  # best_ms OUTPUT COMMAND... : best wall time of $runs runs, in ms
  local out=$1 best=0 t0 t1 ms
  shift
  for ((i = 0; i < runs; i++)); do
    rm -f "$out"  # not timed: both tools write a fresh file
    t0=$(now_ns)
    "$@"
    t1=$(now_ns)
    ms=$(( (t1 - t0) / 1000000 ))
    if [ "$best" = 0 ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
# The decoder writes a whole picture into fresh memory: in huge pages that
# costs far fewer page faults (most of the time on virtual machines).
ours() { GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$vbltool" pcx2bmp "$1" "$work/out.bmp"; }
theirs() { pcxtoppm "$1" > "$work/out.ppm"; }

for name in drawn noisy; do
  pic="$work/$name.pcx"
  size=$(stat -c %s "$pic")
  ours "$pic"; theirs "$pic"  # warm the page cache
  t_ours=$(best_ms "$work/out.bmp" ours "$pic")
  t_theirs=$(best_ms "$work/out.ppm" theirs "$pic")
  calls=$(VBLTOOL_STATS=1 "$vbltool" pcx2bmp "$pic" "$work/out.bmp" 2>&1 >/dev/null | sed -n 's/.*: \([0-9]*\) read calls/\1/p')
  echo "$name: 4096 x 4096, 8 bits, $size bytes of PCX"
  echo "  vbltool pcx2bmp ${t_ours} ms, pcxtoppm ${t_theirs} ms (best of $runs)" \
    "$(awk -v a="$t_theirs" -v b="$t_ours" 'BEGIN { if (b < 1) b = 1; printf "-> %.1fx faster (target 3x)", a / b }')"
  echo "  read calls per decode: ${calls:-unknown} (target: at most $((size / 32768 + 8)))"
done
