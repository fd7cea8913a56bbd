#!/usr/bin/env bash
# Seed corpora for the fuzz targets: the PCX samples (tests/samples/pcx) and
# the regression inputs as bare files, and each of them packed as the level.pcx
# of an archive. Both folders are part of the checkout: a missing one fails.
set -euo pipefail
samples=$1 regressions=$2 vbltool=$3 out=$4
for dir in "$samples" "$regressions"; do
  [ -d "$dir" ] || { echo "make_corpus.sh: $dir is missing" >&2; exit 1; }
done
rm -rf "$out"
mkdir -p "$out/pcx" "$out/level" "$out/picture"
shopt -s nullglob
# Pictures above 256 KiB only slow the fuzzers down: their headers and first
# lines are covered by the smaller ones.
for f in "$samples"/*.pcx "$samples"/*.PCX "$samples"/*.bin "$regressions"/*.pcx "$regressions"/*.bin; do
  if [ "$(stat -c %s "$f")" -le 262144 ]; then cp "$f" "$out/pcx/"; fi
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for f in "$out"/pcx/*; do
  cp "$f" "$tmp/level.pcx"
  "$vbltool" pack "$out/level/$(basename "$f").dat" "$tmp/level.pcx"
done
for f in "$regressions"/*.dat; do cp "$f" "$out/level/"; done
# The picture reader's own regression inputs; its seeds are the kept corpus.
for f in "$regressions"/*.bmp "$regressions"/*.png; do cp "$f" "$out/picture/"; done
# and the PCX ones, which it reads through the launcher's decoder.
for f in "$regressions"/*.pcx; do cp "$f" "$out/picture/"; done
echo "seed corpus: $(ls "$out/pcx" | wc -l) pictures, $(ls "$out/level" | wc -l) archives, $(ls "$out/picture" | wc -l) other pictures"
