#!/usr/bin/env bash
# Differential test of vbltool pcx2bmp (the launcher's PCX decoder) against
# netpbm's pcxtoppm, over the real samples kept in tests/samples/pcx (each
# file listed in its PROVENANCE.tsv, each listed file there) and over files
# written here by ppmtopcx and ImageMagick.
#
# Where the palette rules differ by design the pictures are compared by index
# (each of our palette indices must stand for one colour of theirs):
#   - versions 0, 1 and 3, and all-black header palettes: the launcher shows
#     its own 16 default colours (black and red for 2 colours), pcxtoppm its
#     own defaults or black and white;
#   - 8 bits without a 256-colour trailer: the launcher keeps the 16 header
#     colours and pcxtoppm makes up a grey ramp.
# Where the file has no palette at all (all black, no trailer), both show their
# own defaults, which begin with black: index 0 must be black on both sides,
# and no two of our indices may show one colour.
# A refusal is exit 1 with one line "vbltool: FILE: reason"; a crash is none.
# Layouts the launcher does not render as pictures are skipped, with the reason.
# One plane of 2 bits decodes to a DIB of 2 bits per pixel, which no bitmap
# has: the launcher shows nothing, and pcx2bmp must refuse it and say why.
#
# Usage: diff_pcxtoppm.sh VBLTOOL COMPARE SAMPLES_DIR
set -uo pipefail
vbltool=$1 compare=$2 samples=$3
for tool in pcxtoppm ppmtopcx pnmquant pamcut convert; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian packages netpbm, imagemagick)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 compared=0

byte() { od -An -tu1 -j"$2" -N1 "$1" | tr -d ' '; }

# A layout not compared still decodes, or is refused in one line: no crash.
uncompared() {
  "$vbltool" pcx2bmp "$1" "$work/ours.bmp" 2>"$work/ours.err"; local ours=$?
  if [ $ours = 0 ] || { [ $ours = 1 ] && [ "$(wc -l < "$work/ours.err")" = 1 ]; }; then
    echo "skip  $(basename "$1"): $2; vbltool ends with $ours"
  else
    echo "FAIL  $(basename "$1"): $2; vbltool ends with $ours: $(head -c 200 "$work/ours.err")"; failures=$((failures + 1))
  fi
  rm -f "$work/ours.bmp"
}

check() {
  local pcx=$1 name ver enc bpp planes mode
  name=$(basename "$pcx")
  ver=$(byte "$pcx" 1) enc=$(byte "$pcx" 2) bpp=$(byte "$pcx" 3) planes=$(byte "$pcx" 65)
  if [ "$enc" != 1 ]; then uncompared "$pcx" "encoding $enc; the launcher always run-length decodes"; return; fi
  if [ "$planes" = 1 ] && [ "$bpp" = 24 ]; then uncompared "$pcx" "1 plane of 24 bits, which pcxtoppm does not read"; return; fi
  if [ "$planes" = 2 ]; then uncompared "$pcx" "2 planes, laid plane after plane by design"; return; fi
  mode=colours
  local palsum trailer=0
  palsum=$(od -An -tu1 -j16 -N48 "$pcx" | tr -s ' ' '\n' | awk '{s+=$1} END {print s+0}')
  local size; size=$(stat -c %s "$pcx")
  if [ "$ver" = 5 ] && [ "$size" -ge 897 ] && [ "$(byte "$pcx" $((size - 769)))" = 12 ]; then trailer=1; fi
  case "$ver" in 0|1|3) mode=indices;; esac
  if [ "$bpp" = 8 ] && [ "$planes" = 1 ] && [ "$trailer" = 0 ]; then mode=indices; fi
  if [ "$trailer" = 0 ] && [ "$palsum" = 0 ]; then mode=defaults; fi
  if [ "$bpp" = 8 ] && [ "$planes" = 3 ]; then mode=colours; fi  # 24-bit: no palette at all

  "$vbltool" pcx2bmp "$pcx" "$work/ours.bmp" 2>"$work/ours.err"; local ours=$?
  if [ "$planes" = 1 ] && [ "$bpp" = 2 ]; then
    if [ $ours = 1 ] && grep -q "cannot make a bitmap" "$work/ours.err" && [ ! -e "$work/ours.bmp" ]; then
      echo "ok    $name: 2 bits per pixel refused ($(head -c 80 "$work/ours.err"))"
    else
      echo "FAIL  $name: 2 bits per pixel, which the launcher cannot show, not refused"; failures=$((failures + 1))
    fi
    rm -f "$work/ours.bmp"; return
  fi
  pcxtoppm "$pcx" >"$work/theirs.ppm" 2>"$work/theirs.err"; local theirs=$?
  if [ $ours != 0 ] && [ -e "$work/ours.bmp" ]; then echo "FAIL  $name: output left behind after a refusal"; failures=$((failures + 1)); fi
  if [ $ours != 0 ] && [ $theirs != 0 ]; then
    if [ $ours = 1 ] && [ "$(wc -l < "$work/ours.err")" = 1 ] && grep -q "^vbltool: $pcx: " "$work/ours.err"; then
      echo "ok    $name: both refuse ($(head -c 80 "$work/ours.err"))"
    else
      echo "FAIL  $name: pcxtoppm refuses, we end with $ours and no refusal: $(head -c 200 "$work/ours.err")"
      failures=$((failures + 1))
    fi
    return
  fi
  if [ $ours != 0 ]; then
    echo "FAIL  $name: we refuse, pcxtoppm decodes: $(cat "$work/ours.err")"; failures=$((failures + 1)); return
  fi
  if [ $theirs != 0 ]; then
    echo "FAIL  $name: pcxtoppm refuses ($(head -c 80 "$work/theirs.err")), we decode"; failures=$((failures + 1)); return
  fi
  compared=$((compared + 1))
  if "$compare" "$mode" "$work/ours.bmp" "$work/theirs.ppm" 2>"$work/cmp.err"; then
    echo "ok    $name: same pixels ($mode)"
  else
    echo "FAIL  $name: $(tr '\n' ' ' < "$work/cmp.err") ($mode)"; failures=$((failures + 1))
  fi
  rm -f "$work/ours.bmp"
}

# Pictures written at test time: every layout ppmtopcx offers, odd sizes
# included, and what ImageMagick writes for true colour, palettes and bilevel.
gen="$work/gen"
no_palette() { cp "$1" "$2" && dd if=/dev/zero of="$2" bs=1 seek=16 count=48 conv=notrunc status=none; }
mkdir -p "$gen"
convert rose: "$gen/rose.ppm"
pamcut -width 69 -height 45 "$gen/rose.ppm" > "$gen/odd.ppm"
for src in rose odd; do
  p="$gen/$src.ppm"
  ppmtopcx -24bit "$p" > "$gen/$src-ppmtopcx-24bit.pcx" 2>/dev/null
  pnmquant 256 "$p" 2>/dev/null | ppmtopcx > "$gen/$src-ppmtopcx-256.pcx" 2>/dev/null
  pnmquant 16 "$p" 2>/dev/null > "$gen/$src-16.ppm"
  ppmtopcx "$gen/$src-16.ppm" > "$gen/$src-ppmtopcx-16.pcx" 2>/dev/null
  ppmtopcx -packed "$gen/$src-16.ppm" > "$gen/$src-ppmtopcx-16-packed.pcx" 2>/dev/null
  ppmtopcx -8bit "$gen/$src-16.ppm" > "$gen/$src-ppmtopcx-16-8bit.pcx" 2>/dev/null
  pnmquant 8 "$p" 2>/dev/null | ppmtopcx -planes=3 > "$gen/$src-ppmtopcx-8-planes3.pcx" 2>/dev/null
  pnmquant 4 "$p" 2>/dev/null | ppmtopcx -packed > "$gen/$src-ppmtopcx-4-packed.pcx" 2>/dev/null
  pnmquant 2 "$p" 2>/dev/null | ppmtopcx > "$gen/$src-ppmtopcx-2.pcx" 2>/dev/null
  # Version 5 without a palette (the header's colours all black, no trailer),
  # of 2 and of 15 colours: both sides' defaults show white twice, at 15 and
  # at 7 (ours) or 1 (pcxtoppm's), so that index 15 cannot be compared.
  pnmquant 15 "$p" 2>/dev/null > "$gen/$src-15.ppm"
  ppmtopcx "$gen/$src-15.ppm" > "$gen/$src-ppmtopcx-15.pcx" 2>/dev/null
  ppmtopcx -packed "$gen/$src-15.ppm" > "$gen/$src-ppmtopcx-15-packed.pcx" 2>/dev/null
  for kind in 15 15-packed 2; do no_palette "$gen/$src-ppmtopcx-$kind.pcx" "$gen/$src-ppmtopcx-$kind-no-palette.pcx"; done
  convert "$p" "$gen/$src-im-truecolour.pcx"
  convert "$p" -colors 256 -type palette "$gen/$src-im-256.pcx"
  convert "$p" -colors 16 -type palette "$gen/$src-im-16.pcx"
  convert "$p" -monochrome "$gen/$src-im-mono.pcx"
  convert "$p" -colorspace gray -type grayscale "$gen/$src-im-grey.pcx"
done
convert -size 37x21 gradient:white-black -type grayscale "$gen/gradient-im-grey.pcx"
head -c 1000 "$gen/rose-ppmtopcx-256.pcx" > "$gen/rose-cut.pcx"  # refused by both

shopt -s nullglob
generated=("$gen"/*.pcx)
# 18 from each of the two sources (10 by ppmtopcx, 3 copies of them without their palette, 5 by convert), the
# gradient and a cut picture; a failed writer leaves an empty file.
[ ${#generated[@]} = 38 ] || { echo "FAIL  ${#generated[@]} pictures were generated, not 38"; exit 1; }
for f in "${generated[@]}"; do
  [ -s "$f" ] || { echo "FAIL  $(basename "$f"): the writer failed, the file is empty"; failures=$((failures + 1)); }
done
[ -f "$samples/PROVENANCE.tsv" ] || { echo "FAIL  $samples/PROVENANCE.tsv is missing"; exit 1; }
listed=$(tail -n +2 "$samples/PROVENANCE.tsv" | cut -f1 | LC_ALL=C sort)
present=$(cd "$samples" && ls -A | grep -v -x -e PROVENANCE.tsv -e README.md -e licences | LC_ALL=C sort)
[ -n "$listed" ] && [ "$listed" = "$present" ] ||
  { echo "FAIL  the samples differ from PROVENANCE.tsv's list:"; diff <(echo "$listed") <(echo "$present"); exit 1; }
for f in $listed; do check "$samples/$f"; done
for f in "${generated[@]}"; do check "$f"; done
echo "$compared pictures compared, $failures failures"
[ $failures = 0 ] && [ $compared -ge 35 ]  # the generated pictures alone give 35
