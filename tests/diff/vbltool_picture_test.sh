#!/usr/bin/env bash
# vbltool picture as an author uses it, against netpbm and ImageMagick: sizes,
# closeness to the true-colour scaled picture (PSNR, beside ImageMagick's own
# -colors 256), exact colours when nothing needs to change, refusals; and
# pcx2bmp/preview writing PNG with the BMP's pixels.
# Usage: vbltool_picture_test.sh VBLTOOL
set -uo pipefail
vbltool=$1
. "$(dirname "$0")/cli_helpers.sh"
size() { identify -format '%w %h' "$1"; }
psnr() { compare -metric PSNR "$1" "$2" null: 2>&1; }
same_pixels() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }

expect 0 "--help" "$vbltool" --help
grep -q "^  picture IN OUT.pcx" out.txt && grep -q "screenshot.png -> vbltool picture" out.txt || fail "--help: no picture"
convert -size 1200x700 -seed 3 plasma:fractal -depth 8 shot.png
convert -size 300x700 -seed 5 plasma:fractal -quality 90 tall.jpg
convert -size 900x200 -seed 9 plasma:fractal -depth 8 -type truecolor wide.bmp
convert -size 300x200 -seed 11 plasma:fractal -depth 8 small.png

# Scaled (or not) to fit 407 x 263, and at least as close to the true-colour
# scaled picture as ImageMagick's quantizer is to its own.
while read -r input option; do
  expect 0 "picture $input $option" "$vbltool" picture "$input" level.pcx $option
  pcxtoppm level.pcx > level.ppm 2>/dev/null || { fail "pcxtoppm cannot read the picture of $input"; continue; }
  read -r w h < <(size level.ppm)
  read -r W H < <(size "$input")
  if [ "$W" -le 407 ] && [ "$H" -le 263 ]; then
    [ "$w $h" = "$W $H" ] || fail "$input: $W x $H became $w x $h"
  else
    [ "$w" -le 407 ] && [ "$h" -le 263 ] && { [ "$w" = 407 ] || [ "$h" = 263 ]; } &&
      [ $(((w * H - h * W) ** 2)) -le $(((W > H ? W : H) ** 2)) ] || fail "$input: $W x $H scaled to $w x $h"
  fi
  convert "$input" -colorspace RGB -filter Mitchell -resize "${w}x${h}!" -colorspace sRGB truecolour.ppm
  convert "$input" -resize 407x263 theirs-truecolour.ppm
  convert "$input" -resize 407x263 -colors 256 theirs.ppm
  ours=$(psnr truecolour.ppm level.ppm) theirs=$(psnr theirs-truecolour.ppm theirs.ppm)
  echo "      $input $option: PSNR $ours dB, ImageMagick $theirs dB"
  # Both must be figures: a compare that fails prints words, which awk reads as 0.
  awk -v a="$ours" -v b="$theirs" 'BEGIN { n = "^[0-9]+([.][0-9]+)?$"; exit !(a ~ n && b ~ n && a + 0 >= b - 1) }' ||
    fail "$input $option: PSNR $ours, ImageMagick $theirs"
done <<'TABLE'
shot.png
shot.png --dither
tall.jpg
wide.bmp
small.png
TABLE
expect 0 "picture shot.png" "$vbltool" picture shot.png level.pcx
expect 0 "pack the picture" "$vbltool" pack shot.dat level.pcx
expect 0 "check the archive" "$vbltool" check shot.dat
[ -s out.txt ] && fail "check warns about a picture made to fit: $(cat out.txt)"

# 256 colours or fewer, nothing to scale (or --crop): exactly the same pixels,
# from every format, PCX through the launcher's decoder.
convert small.png +dither -colors 200 few.ppm
convert -size 900x600 -seed 13 plasma:fractal +dither -colors 100 -depth 8 big.png
convert big.png -crop 407x263+0+0 +repage big-corner.ppm
convert -size 100x80 xc:red -alpha set -channel A -fx 'i < 50 ? 0 : 1' +channel alpha.png
convert alpha.png -background black -flatten alpha-over-black.ppm
ppmtopcx -8bit few.ppm > few.pcx 2>/dev/null
ppmtotga -cmap few.ppm > few.tga 2>/dev/null  # ImageMagick's TGA rows run against their stated origin
for f in png gif bmp; do convert few.ppm "few.$f"; done
keeps_colours() {  # rows "INPUT WANT [OPTION]" on stdin: picture's PCX has exactly WANT's pixels
  while read -r input want option; do
    expect 0 "picture $input $option" "$vbltool" picture "$input" exact.pcx $option
    pcxtoppm exact.pcx > exact.ppm 2>/dev/null && same_pixels exact.ppm "$want" || fail "$input $option: colours changed"
  done
}
keeps_colours <<'TABLE'
few.png few.ppm
few.gif few.ppm
few.tga few.ppm
few.bmp few.ppm
few.pcx few.ppm
big.png big-corner.ppm --crop
alpha.png alpha-over-black.ppm
TABLE

# Refusals: exit 1, one line, nothing written.
cp small.png huge.png && printf '\x00\x00\x23\x28\x00\x00\x1f\x40' | dd of=huge.png bs=1 seek=16 conv=notrunc status=none
{ printf '\x0a\x05\x01\x08\x00\x00\x00\x00\x0f\x27\x0f\x27'; head -c 116 /dev/zero; } > huge.pcx
head -c 3000 shot.png > cut.png
head -c 2000 tall.jpg > cut.jpg
head -c 2000 few.pcx > cut.pcx
echo "not a picture" > text.png
convert small.png ppm:- | pnmquant 4 2>/dev/null | ppmtopcx -packed > two-bit.pcx 2>/dev/null
# A sound header, and compressed data that is not zlib's.
printf '\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\0\0\0\0\0\0\0\x04IDAT\0\0\0\0\0\0\0\0\0\0\0\0IEND\0\0\0\0' > bad-data.png
while IFS='|' read -r input reason; do
  expect 1 "picture refuses $input" "$vbltool" picture "$input" refused.pcx
  [ "$(wc -l < err.txt)" = 1 ] && grep -qF "$reason" err.txt || fail "$input: said $(cat err.txt)"
  [ -e refused.pcx ] && { fail "$input: an output was written"; rm refused.pcx; }
done <<'TABLE'
missing.png|cannot read
huge.png|9000 x 8000
huge.pcx|10000 x 10000
cut.png|ends before
cut.jpg|ends before
cut.pcx|data ends before the last scan line
text.png|not a PNG
two-bit.pcx|the launcher cannot make a bitmap of it: its bits per pixel
bad-data.png|cannot decode the picture (
TABLE
expect 2 "picture with an unknown option" "$vbltool" picture shot.png x.pcx --big

# PNG out: the BMP's pixels, from every PCX layout the decoder makes.
pbmmake -g 30 20 | ppmtopcx > mono.pcx 2>/dev/null
convert small.png +dither -colors 16 -depth 8 ppm:- | ppmtopcx > sixteen.pcx 2>/dev/null
convert small.png ppm:- | ppmtopcx -24bit > rgb.pcx 2>/dev/null
# Two planes of 8 bits, 4 x 3 pixels: a 16-bit (5-5-5) picture.
python3 -c 'import sys; o = sys.stdout.buffer
o.write(bytes([10, 5, 1, 8, 0, 0, 0, 0, 3, 0, 2, 0]) + bytes(53) + bytes([2, 4, 0, 1]) + bytes(59) + bytes(range(0, 192, 8)))' > planes16.pcx
for pcx in mono.pcx sixteen.pcx few.pcx rgb.pcx planes16.pcx level.pcx; do
  expect 0 "pcx2bmp $pcx to BMP" "$vbltool" pcx2bmp "$pcx" out.bmp
  expect 0 "pcx2bmp $pcx to PNG" "$vbltool" pcx2bmp "$pcx" out.png
  same_pixels out.bmp out.png || fail "$pcx: the PNG's pixels are not the BMP's"
done
expect 0 "preview to PNG" "$vbltool" preview shot.dat preview.PNG
same_pixels out.bmp preview.PNG || fail "preview's PNG is not pcx2bmp's picture"

# Palette BMPs, run-length ones with every escape (4-bit runs of two colours
# in turn), ones with the 12-byte header, and 16-bit PNGs keep exactly their
# colours (16-bit channels rounded as netpbm rounds them). What run-length
# data never reaches is colour 0, an index past the table black.
rle_bmp() { python3 "$(dirname "$0")/rle_bmp.py" "$@" || fail "rle_bmp.py $*"; }
rle_bmp rle8 rle8 37 23 1; rle_bmp rle4 rle4 37 23 2; rle_bmp edge edge
rle_bmp rle8-v5 rle8 100 60 3 124; rle_bmp rle4-v4 rle4 31 9 4 108; rle_bmp short-table rle8 50 20 5 56 100
for bits in 1 4 8; do rle_bmp "os2-$bits" "rgb$bits" 29 11 "$bits" 12; done  # 3-byte colour table entries
convert logo: logo.bmp  # ImageMagick's default for palette pictures: BI_RLE8
convert logo: -crop 407x263+0+0 +repage logo-corner.ppm
convert few.ppm -depth 16 few16.png
convert few.ppm -type palette bmp2:few-os2.bmp  # a 12-byte header, 3-byte colours
convert few.ppm -type palette -compress none bmp3:few-plain.bmp
# A comment chunk of 2000 bytes before the pixels, which the reader skips.
python3 -c 'import sys, zlib; d = open(sys.argv[1], "rb").read(); t = b"tEXt" + b"Comment\0" + b"x" * 2000
sys.stdout.buffer.write(d[:33] + (len(t) - 4).to_bytes(4, "big") + t + zlib.crc32(t).to_bytes(4, "big") + d[33:])' few.png > few-comment.png
convert small.png +dither -colors 64 -depth 16 deep.png && pngtopnm deep.png | pnmdepth 255 > deep.ppm
keeps_colours <<'TABLE'
rle8.bmp rle8.ppm
rle4.bmp rle4.ppm
edge.bmp edge.ppm
rle8-v5.bmp rle8-v5.ppm
rle4-v4.bmp rle4-v4.ppm
short-table.bmp short-table.ppm
os2-1.bmp os2-1.ppm
os2-4.bmp os2-4.ppm
os2-8.bmp os2-8.ppm
logo.bmp logo-corner.ppm --crop
few16.png few.ppm
deep.png deep.ppm
few-os2.bmp few.ppm
few-plain.bmp few.ppm
few-comment.png few.ppm
TABLE
size=$(stat -c %s rle4.bmp)
for cut in 60 118 119 200 $((size - 2)) $((size - 1)); do head -c $cut rle4.bmp > "rle4-cut$cut.bmp"; done
head -c 1000 logo.bmp > logo-cut.bmp
convert few.ppm -compress none bmp3:- | head -c 5000 > plain-cut.bmp
cp rle8.bmp top-down.bmp && printf '\xe9\xff\xff\xff' | dd of=top-down.bmp bs=1 seek=22 conv=notrunc status=none
cp rle8.bmp jpeg.bmp && printf '\x04' | dd of=jpeg.bmp bs=1 seek=30 conv=notrunc status=none
cp rle8.bmp huge.bmp && printf '\x28\x23\x00\x00\x40\x1f' | dd of=huge.bmp bs=1 seek=18 conv=notrunc status=none
cp wide.bmp no-rows.bmp && printf '\0\0\0\0' | dd of=no-rows.bmp bs=1 seek=22 conv=notrunc status=none
convert few.ppm few.webp && convert few.ppm few.tif && convert few.ppm -define tiff:endian=msb few-mm.tif
[ "$(head -c 4 few-mm.tif | od -An -tx1)" = " 4d 4d 00 2a" ] || fail "few-mm.tif is not a big-endian TIFF"
pnmtoplainpnm few.ppm > plain.ppm 2>/dev/null
{ printf 'P5 8193 8192 255\n'; head -c $((8193 * 8192)) /dev/zero; } > huge.pgm
{ printf '\xff\xd8\xff\xc4\x00\x13\x00'; printf '\xff%.0s' $(seq 16); } > huffman.jpg
set_bytes() { cp "$1" "$2" && printf "$4" | dd of="$2" bs=1 seek="$3" conv=notrunc status=none; }
set_bytes wide.bmp header64.bmp 14 '\x40'; set_bytes wide.bmp rle24.bmp 30 '\x01'
set_bytes wide.bmp type9.bmp 30 '\x09'; set_bytes wide.bmp planes2.bmp 26 '\x02'
printf '\x89PNG\r\n\x1a\nxx' > damaged.png; printf 'GIF8xx' > damaged.gif; printf '\xff\xd8\xff\xe0' > damaged.jpg
while IFS='|' read -r input reason; do
  expect 1 "picture refuses $input" "$vbltool" picture "$input" refused.pcx
  [ "$(wc -l < err.txt)" = 1 ] && grep -qF "$reason" err.txt || fail "$input: said $(cat err.txt)"
done <<TABLE
$(for f in rle4-cut*.bmp logo-cut.bmp plain-cut.bmp; do echo "$f|the file ends before the picture does"; done)
top-down.bmp|a top-down BMP with run-length compression (BI_RLE8), which vbltool cannot read: save it as PNG
jpeg.bmp|a BMP holding a JPEG (BI_JPEG), which vbltool cannot read
huge.bmp|9000 x 8000
no-rows.bmp|no pixels
huffman.jpg|a JPEG whose Huffman table holds more than 256 codes
few.webp|a WebP picture, which
few.tif|a TIFF picture, which
plain.ppm|a plain (ASCII) PPM picture (P3), which vbltool cannot read
huge.pgm|the picture is 8193 x 8192 pixels, more than the launcher's limit
header64.bmp|an OS/2 2.x BMP (a header of 64 bytes), which
rle24.bmp|a BMP whose run-length compression (BI_RLE8) is at 24 bits per pixel, which
type9.bmp|a BMP of compression type 9, which
planes2.bmp|a BMP of 2 planes, where the format has 1, which
damaged.png|a PNG whose header is damaged
damaged.gif|a GIF whose header is damaged
damaged.jpg|a JPEG whose header is damaged
few-mm.tif|a TIFF picture, which
TABLE

# Headers that ask for far more than their files hold: refused for what they
# are before anything is allocated, so that 128 MiB of address space (the
# 32-bit program has 2 GiB, and less in one piece) tells the same story. Out
# of memory is said of a picture that could be read, and only of one.
regressions="$(cd "$(dirname "$0")/../regressions" && pwd)"
python3 - <<'PY'
import struct
def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + b'\0\0\0\0'
def png(w, h, depth, colour, idat):
    ihdr = struct.pack('>IIBBBBB', w, h, depth, colour, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', idat) + chunk(b'IEND', b'')
open('claims.png', 'wb').write(png(8192, 8192, 16, 6, b'\x78\x9c\x63\x00\x00\x00\x01\x00\x01'))
open('screen.gif', 'wb').write(b'GIF89a' + struct.pack('<HHBBB', 8192, 8192, 0, 0, 0) + b';')
open('screen-cut.gif', 'wb').write(b'GIF89a' + struct.pack('<HHBBB', 8192, 8192, 0, 0, 0) + b',\0\0\0\0\1\0\1\0\0\2\2')
sof = b'\xff\xc0' + struct.pack('>HBHHB', 17, 8, 8192, 8192, 3) + b'\x01\x11\x00\x02\x11\x00\x03\x11\x00'
open('frame.jpg', 'wb').write(b'\xff\xd8' + sof + b'\xff\xd9')
import zlib
open('grey.png', 'wb').write(png(8000, 8000, 8, 0, zlib.compress(bytes(8001 * 8000), 9)))  # 62 KB, 192 MB as RGB
open('claims.tga', 'wb').write(struct.pack('<BBBHHBHHHHBB', 0, 0, 10, 0, 0, 0, 0, 0, 8192, 8192, 32, 0) + b'\xff' * 10)
PY
# The sanitizers' build reserves terabytes of shadow memory, so no address
# space limit can hold it: there, ASan's own cap on one block stands in, and
# its note on a block refused is not vbltool's output.
if grep -qa __asan_init "$vbltool"; then
  in_128mib() { ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}max_allocation_size_mb=128:allocator_may_return_null=1 "$@"; }
else
  in_128mib() { bash -c 'ulimit -v 131072 && exec "$@"' - "$@"; }
fi
while IFS='|' read -r input reason; do
  expect 1 "picture refuses $input in 128 MiB" in_128mib "$vbltool" picture "$input" refused.pcx
  sed -i '/^==[0-9]*==WARNING: AddressSanitizer failed to allocate/d' err.txt
  [ "$(wc -l < err.txt)" = 1 ] && grep -qF "$reason" err.txt || fail "$input: said $(cat err.txt)"
done <<TABLE
$regressions/png-idat-asks-2gib.png|the file ends before the picture does
claims.png|a PNG whose compressed data is too short for its 8192 x 8192 pixels
screen.gif|a GIF holding no picture
screen-cut.gif|the file ends before the picture does
frame.jpg|the file ends before the picture does
claims.tga|the file ends before the picture does
grey.png|vbltool: grey.png: out of memory
$(for f in "$regressions"/pcx-bits-*.pcx; do echo "$f|its bits per pixel are not 1, 4, 8, 16, 24 or 32"; done)
TABLE
for input in few.png few.gif few.tga tall.jpg few.pcx; do
  expect 0 "picture $input in 128 MiB" in_128mib "$vbltool" picture "$input" fits.pcx
done

echo "$failures failures"
[ $failures = 0 ]
