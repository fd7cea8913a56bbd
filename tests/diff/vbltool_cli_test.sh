#!/usr/bin/env bash
# vbltool's sub-commands as a level author uses them: exit statuses, messages,
# files written or not, and pack/list/preview agreeing with each other.
# Usage: vbltool_cli_test.sh VBLTOOL
set -uo pipefail
vbltool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
expect() {  # expect STATUS DESCRIPTION COMMAND...
  local want=$1 what=$2; shift 2
  "$@" >out.txt 2>err.txt; local got=$?
  if [ $got != "$want" ]; then
    echo "FAIL  $what: exit $got, wanted $want; stderr: $(cat err.txt)"; failures=$((failures + 1))
  else
    echo "ok    $what"
  fi
}
fail() { echo "FAIL  $1"; failures=$((failures + 1)); }

expect 0 "--help" "$vbltool" --help
for cmd in pcx2bmp preview list pack cmdline; do grep -q "^  $cmd " out.txt || fail "--help does not list $cmd"; done
expect 2 "no command" "$vbltool"
expect 2 "unknown command" "$vbltool" frobnicate
expect 2 "pcx2bmp with one argument" "$vbltool" pcx2bmp only.pcx
expect 2 "pack without files" "$vbltool" pack out.dat

# A picture, and a level archive holding it with another entry.
printf 'P6\n5 3\n255\n' > tiny.ppm
head -c 45 /dev/urandom >> tiny.ppm
ppmtopcx -24bit tiny.ppm > level.pcx 2>/dev/null
echo "notes" > readme.txt
expect 0 "pcx2bmp" "$vbltool" pcx2bmp level.pcx direct.bmp
expect 0 "pack" "$vbltool" pack castle.dat readme.txt level.pcx
[ "$(od -An -tu4 -N4 castle.dat | tr -d ' ')" = 2 ] || fail "pack wrote a wrong entry count"
[ "$(od -An -tu4 -j16 -N4 castle.dat | tr -d ' ')" = 44 ] || fail "pack did not put the data right after the directory"
expect 0 "list" "$vbltool" list castle.dat
grep -q "level.pcx.*preview" out.txt || fail "list does not point out the preview picture"
grep -q "OUTSIDE" out.txt && fail "list flags a sound entry"
expect 0 "preview" "$vbltool" preview castle.dat preview.bmp
cmp -s direct.bmp preview.bmp || fail "preview and pcx2bmp disagree"

# Refusals: a reason on one line, no output file.
expect 1 "pack refuses a 12-character name before reading it" "$vbltool" pack long.dat "$work/abcdefgh.pcx"
cp level.pcx abcdefgh.pcx
expect 1 "pack refuses a 12-character name" "$vbltool" pack long.dat abcdefgh.pcx
[ -e long.dat ] && fail "pack left an archive behind"
cp level.pcx abcdefg.pcx
expect 0 "pack takes an 11-character name" "$vbltool" pack short.dat abcdefg.pcx
expect 1 "pack refuses two entries of one name" "$vbltool" pack dup.dat level.pcx sub/level.pcx
head -c 100 level.pcx > broken.pcx
expect 1 "pcx2bmp refuses a truncated picture" "$vbltool" pcx2bmp broken.pcx broken.bmp
[ "$(wc -l < err.txt)" = 1 ] || fail "more than one line of reason: $(cat err.txt)"
[ -e broken.bmp ] && fail "pcx2bmp left an output file behind"
expect 1 "preview of an archive without level.pcx" "$vbltool" preview short.dat none.bmp
[ -e none.bmp ] && fail "preview left an output file behind"
expect 1 "list of a missing archive" "$vbltool" list missing.dat
printf 'ab' > tiny.dat
expect 1 "list of a file too short for a count" "$vbltool" list tiny.dat

# An entry outside the file, and a count larger than the directory.
cp castle.dat outside.dat
printf '\xff\xff\xff\x7f' | dd of=outside.dat bs=1 seek=20 conv=notrunc status=none
printf '\x09\x00\x00\x10' | dd of=outside.dat bs=1 seek=0 conv=notrunc status=none
expect 0 "list of an archive that lies" "$vbltool" list outside.dat
grep -q "readme.txt.*OUTSIDE" out.txt || fail "list does not flag the entry outside the file"
grep -q "holds only" out.txt || fail "list does not report the missing records"

# cmdline: the parameter string the launcher would hand the game.
expect 0 "cmdline, level with a blank and defaults" "$vbltool" cmdline --fullscreen --scaleup "my level"
[ "$(cat out.txt)" = 'params: " -dat .\levels\my level.dat -fullscreen -scaleup"' ] || fail "cmdline level: $(cat out.txt)"
expect 0 "cmdline, fireworks ignores the level" "$vbltool" cmdline --nogore --fireworks ignored
[ "$(cat out.txt)" = 'params: " -fireworks -nogore"' ] || fail "cmdline fireworks: $(cat out.txt)"
expect 2 "cmdline without a level" "$vbltool" cmdline --mirror
expect 2 "cmdline with an unknown switch" "$vbltool" cmdline --loud x

echo "$failures failures"
[ $failures = 0 ]
