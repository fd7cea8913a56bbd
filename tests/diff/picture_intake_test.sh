#!/usr/bin/env bash
# Every picture variant that ImageMagick and netpbm write, read by
# `vbltool picture` as a peer decoder reads it: each variant and the peer's
# decode of it, saved as a plain 8-bit PNG (alpha kept), must give the same
# PCX bytes; a JPEG's, within 35 dB of each other. Prints the matrix.
# Where a peer is wrong, the other decodes:
# - ImageMagick 6.9's -depth 8 truncates 16-bit samples (44387 gives 172, not
#   172.71 rounded): 16-bit files go through netpbm (pngtopnm, pnmdepth 255).
# - ImageMagick 6 reads and writes TGA rows upside down: tgatoppm decodes them.
# - ImageMagick 6.9 reads the 1-bit alpha of an ARGB1555 BMP as 128, not 255:
#   its decode's alpha is made whole again (netpbm reads no such BMP).
# Neither tool writes top-down BMP rows: those are ImageMagick's files with
# their rows turned over; RLE4 comes from rle_bmp.py, with its own PPM.
# Usage: picture_intake_test.sh VBLTOOL
set -uo pipefail
vbltool=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/cli_helpers.sh"

# The sources, small enough that nothing is scaled: one of many colours (8
# and 16 bits a sample), one of at most 200, one of 16, one of 2, and alpha.
convert -size 96x64 -seed 3 plasma:fractal -depth 16 rgb16.png
convert rgb16.png -depth 8 rgb.ppm
convert rgb.ppm +dither -colors 200 few.ppm
convert rgb.ppm +dither -colors 16 sixteen.ppm
convert rgb.ppm -threshold 50% two.ppm
convert rgb16.png \( -size 64x96 gradient: -rotate 90 \) -compose copy_opacity -composite rgba16.png
convert rgba16.png -depth 8 rgba.png

png() {  # png OUT DEPTH COLOUR_TYPE SOURCE [OPTION...]: a PNG of that IHDR
  local out=$1 depth=$2 type=$3 src=$4; shift 4
  convert "$src" "$@" -define png:bit-depth="$depth" -define png:color-type="$type" "$out"
}
top_down() { python3 "$here/top_down_bmp.py" "$@" || fail "top_down_bmp.py $*"; }

# BMP
ppmtobmp -os2 -bpp 8 few.ppm > os2-8.bmp 2>/dev/null
ppmtobmp -os2 -bpp 24 rgb.ppm > os2-24.bmp 2>/dev/null
ppmtobmp -windows -bpp 1 two.ppm > v3-1.bmp 2>/dev/null
ppmtobmp -windows -bpp 4 sixteen.ppm > v3-4.bmp 2>/dev/null
convert few.ppm -type palette -compress none bmp3:v3-8.bmp
convert rgb.ppm -type truecolor bmp3:v3-24.bmp
python3 "$here/rle_bmp.py" rle4 rle4 96 64 7 && pnmtopng rle4.ppm > rle4-peer.png 2>/dev/null
convert few.ppm -type palette bmp3:rle8.bmp
convert rgb.ppm -define bmp:subtype=RGB565 bmp:v5-565.bmp
convert rgba.png -channel A -threshold 50% +channel -define bmp:subtype=ARGB1555 bmp:v5-1555.bmp
convert rgb.ppm -type truecolor bmp:v5-24.bmp
convert rgba.png bmp:v5-32a.bmp
top_down v3-8.bmp top-down-8.bmp
top_down v3-24.bmp top-down-24.bmp
# PNG
for d in 1 2 4 8; do png "grey-$d.png" "$d" 0 rgb.ppm -colorspace gray -depth "$d"; done
png grey-16.png 16 0 rgb16.png -colorspace gray
png palette-1.png 1 3 two.ppm
# ImageMagick writes no 2- or 4-bit palette PNG of a colour picture; pnmtopng
# takes the fewest bits its colours need.
convert rgb.ppm +dither -colors 4 four.ppm
pnmtopng four.ppm > palette-2.png 2>/dev/null
pnmtopng sixteen.ppm > palette-4.png 2>/dev/null
png palette-8.png 8 3 few.ppm
png grey-alpha.png 8 4 rgba.png -colorspace gray
png rgb-8.png 8 2 rgb.ppm
png rgb-16.png 16 2 rgb16.png
png rgba-8.png 8 6 rgba.png
png rgba-16.png 16 6 rgba16.png
convert rgba.png -interlace PNG interlaced-im.png
pnmtopng -interlace rgb.ppm > interlaced-netpbm.png 2>/dev/null
# GIF
convert few.ppm plain.gif
convert few.ppm -interlace GIF interlaced.gif
convert rgba.png -channel A -threshold 50% +channel transparent.gif
convert -delay 10 few.ppm sixteen.ppm -loop 0 animated.gif
# TGA
ppmtotga -rgb -norle rgb.ppm > tga-24.tga 2>/dev/null
ppmtotga -rgb rgb.ppm > tga-rle.tga 2>/dev/null
ppmtotga -cmap few.ppm > tga-cmap.tga 2>/dev/null
# JPEG
# From a picture of flat areas: the 256 colours chosen for a decode of
# thousands then differ little, and the decoders' own differences show.
convert rgb.ppm -blur 0x3 +dither -colors 24 flat.ppm
convert flat.ppm -quality 90 -sampling-factor 2x2 baseline.jpg
convert flat.ppm -quality 90 -sampling-factor 2x2 -interlace JPEG progressive.jpg
convert flat.ppm -quality 90 -colorspace gray grey.jpg
convert flat.ppm -quality 90 -sampling-factor 1x1 sampling-444.jpg
# PNM
convert rgb.ppm -colorspace gray pgm-8.pgm
cp rgb.ppm ppm-8.ppm
pngtopnm grey-16.png > pgm-16.pgm 2>/dev/null
pngtopnm rgb16.png > ppm-16.ppm 2>/dev/null
# Refused by name
convert few.ppm few.webp
convert few.ppm few.tif

# Each PNG is of the depth and colour type its name says.
while read -r file depth type; do
  [ "$(od -An -tu1 -j24 -N2 "$file" | tr -s ' ')" = " $depth $type" ] || fail "$file: not a PNG of depth $depth, type $type"
done <<'TABLE'
grey-1.png 1 0
grey-2.png 2 0
grey-4.png 4 0
grey-8.png 8 0
grey-16.png 16 0
palette-1.png 1 3
palette-2.png 2 3
palette-4.png 4 3
palette-8.png 8 3
grey-alpha.png 8 4
rgb-8.png 8 2
rgb-16.png 16 2
rgba-8.png 8 6
rgba-16.png 16 6
TABLE

# Each BMP of the header size, depth, compression and row order its name
# says; each JPEG of its chroma sampling, progressive or not.
python3 - os2-8.bmp os2-24.bmp v3-1.bmp v3-4.bmp v3-8.bmp v3-24.bmp rle4.bmp rle8.bmp v5-565.bmp v5-1555.bmp \
  v5-24.bmp v5-32a.bmp top-down-8.bmp top-down-24.bmp > bmp-fields.txt <<'PY'
import struct, sys
for name in sys.argv[1:]:
    d = open(name, 'rb').read()
    size, = struct.unpack_from('<I', d, 14)
    if size == 12:
        bits, compression, height = struct.unpack_from('<H', d, 24)[0], 0, 1
    else:
        height, _, bits, compression = struct.unpack_from('<iHHI', d, 22)
    print(name, size, bits, compression, 'top-down' if height < 0 else 'bottom-up')
PY
diff - bmp-fields.txt <<'TABLE' || fail "a BMP variant is not what its name says"
os2-8.bmp 12 8 0 bottom-up
os2-24.bmp 12 24 0 bottom-up
v3-1.bmp 40 1 0 bottom-up
v3-4.bmp 40 4 0 bottom-up
v3-8.bmp 40 8 0 bottom-up
v3-24.bmp 40 24 0 bottom-up
rle4.bmp 40 4 2 bottom-up
rle8.bmp 40 8 1 bottom-up
v5-565.bmp 124 16 3 bottom-up
v5-1555.bmp 124 16 3 bottom-up
v5-24.bmp 124 24 0 bottom-up
v5-32a.bmp 124 32 3 bottom-up
top-down-8.bmp 40 8 0 top-down
top-down-24.bmp 40 24 0 top-down
TABLE
while read -r file want; do
  got=$(identify -format '%[jpeg:sampling-factor] %[interlace]' "$file")
  [ "$got" = "$want" ] || fail "$file: sampled and interlaced $got, not $want"
done <<'TABLE'
baseline.jpg 2x2,1x1,1x1 None
progressive.jpg 2x2,1x1,1x1 JPEG
grey.jpg 1x1 None
sampling-444.jpg 1x1,1x1,1x1 None
TABLE

# The peers' decodes, as plain 8-bit PNGs.
peer() {  # peer VARIANT TOOL: writes VARIANT-peer.png
  local in=$1 out=${1%.*}-peer.png
  case $2 in
    magick) convert "$in" -depth 8 "$out" ;;
    first-frame) convert "${in}[0]" -depth 8 "$out" ;;
    magick-alpha1) convert "$in" -channel A -threshold 0 +channel -depth 8 "$out" ;;
    netpbm) pngtopnm "$in" | pnmdepth 255 | pnmtopng > "$out" ;;
    netpbm-alpha)
      pngtopnm -alpha "$in" | pnmdepth 255 > alpha.pgm
      pngtopnm "$in" | pnmdepth 255 | pnmtopng -alpha=alpha.pgm > "$out" ;;
    netpbm-pnm) pnmdepth 255 "$in" | pnmtopng > "$out" ;;
    tgatoppm) tgatoppm "$in" | pnmtopng > "$out" ;;
    own) ;;  # made with the variant
  esac 2>/dev/null
}

# VARIANT PEER [jpeg]
matrix='
os2-8.bmp magick
os2-24.bmp magick
v3-1.bmp magick
v3-4.bmp magick
v3-8.bmp magick
v3-24.bmp magick
rle4.bmp own
rle8.bmp magick
v5-565.bmp magick
v5-1555.bmp magick-alpha1
v5-24.bmp magick
v5-32a.bmp magick
top-down-8.bmp magick
top-down-24.bmp magick
grey-1.png magick
grey-2.png magick
grey-4.png magick
grey-8.png magick
grey-16.png netpbm
palette-1.png magick
palette-2.png magick
palette-4.png magick
palette-8.png magick
grey-alpha.png magick
rgb-8.png magick
rgb-16.png netpbm
rgba-8.png magick
rgba-16.png netpbm-alpha
interlaced-im.png magick
interlaced-netpbm.png magick
plain.gif magick
interlaced.gif magick
transparent.gif magick
animated.gif first-frame
tga-24.tga tgatoppm
tga-rle.tga tgatoppm
tga-cmap.tga tgatoppm
baseline.jpg magick jpeg
progressive.jpg magick jpeg
grey.jpg magick jpeg
sampling-444.jpg magick jpeg
pgm-8.pgm magick
ppm-8.ppm magick
pgm-16.pgm netpbm-pnm
ppm-16.ppm netpbm-pnm
'
rows=()
while read -r variant tool kind; do
  [ -n "$variant" ] || continue
  peer "$variant" "$tool"
  verdict=right
  if ! "$vbltool" picture "$variant" ours.pcx 2>err.txt; then
    verdict="wrong: $(cat err.txt)"
  elif ! "$vbltool" picture "${variant%.*}-peer.png" peer.pcx 2>err.txt; then
    verdict="wrong: the peer's decode: $(cat err.txt)"
  elif [ "$kind" = jpeg ]; then
    pcxtoppm ours.pcx > ours.ppm 2>/dev/null && pcxtoppm peer.pcx > peer.ppm 2>/dev/null
    db=$(compare -metric PSNR ours.ppm peer.ppm null: 2>&1)
    verdict="right ($db dB)"
    awk -v d="$db" 'BEGIN { exit !(d == "inf" || (d ~ /^[0-9.]+$/ && d + 0 >= 35)) }' || verdict="wrong: $db dB"
  elif ! cmp -s ours.pcx peer.pcx; then
    verdict="wrong: other PCX bytes than the peer's decode"
  fi
  case $verdict in right*) ;; *) failures=$((failures + 1)) ;; esac
  rows+=("$(printf '%-22s %-13s %s' "$variant" "$tool" "$verdict")")
done <<<"$matrix"

for refused in few.webp:"a WebP picture, which vbltool cannot read" few.tif:"a TIFF picture, which vbltool cannot read"; do
  file=${refused%%:*}
  if "$vbltool" picture "$file" refused.pcx 2>err.txt || ! grep -qF "${refused#*:}" err.txt; then
    rows+=("$(printf '%-22s %-13s wrong: %s' "$file" refused "$(cat err.txt)")"); failures=$((failures + 1))
  else
    rows+=("$(printf '%-22s %-13s right (refused by name)' "$file" refused)")
  fi
done

printf '%s\n' "${rows[@]}"
echo "$failures failures"
[ "$failures" = 0 ]
