#!/usr/bin/env bash
# Builds the 64-bit Windows program and the preview benchmark, then runs the
# benchmark under Wine (on a virtual display when there is none) and prints
# its figures: the preview load of pictures from 407x263 to 8192x8192, 8-bit
# and 24-bit (medians of 21, each as a ratio to the 407x263 load and with the
# process's peak private memory, and where the time goes) and the start-up
# with 10,000 level archives, in the dialog and as a started program.
#   tests/bench/run-preview-bench.sh [BUILD_DIR] [-- BENCH_ARGS...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/win64}
[ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset win64 -S "$root" -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target preview_bench vblLM >/dev/null
# Wine sees the build machine's root as drive Z:.
program="Z:$(cd "$build" && pwd)/vblLM.exe"
exec "$root/cmake/wine-run.sh" "$build/tests/bench/preview_bench.exe" --program "$program" "$@"
