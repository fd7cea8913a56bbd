#!/usr/bin/env bash
# vbltool's sub-commands as a level author uses them: exit statuses, messages,
# files written or not, and pack/list/preview agreeing with each other.
# Usage: vbltool_cli_test.sh VBLTOOL VBLTOOL_FAULTS (the same, failing on demand)
set -uo pipefail
vbltool=$1
faults=$2
. "$(dirname "$0")/cli_helpers.sh"

expect 0 "--help" "$vbltool" --help
for cmd in pcx2bmp preview list pack unpack check cmdline; do grep -q "^  $cmd " out.txt || fail "--help does not list $cmd"; done
# An 80-column console (the Windows default) wraps a line of 80 characters.
awk 'length > 79 { print "FAIL  --help line " NR " has " length " characters"; bad = 1 } END { exit bad }' out.txt ||
  failures=$((failures + 1))
cp out.txt help.txt
for ask in -h /?; do
  expect 0 "$ask" "$vbltool" "$ask"
  cmp -s out.txt help.txt || fail "$ask does not show the help"
done
expect 0 "--version" "$vbltool" --version
grep -Eqx 'vbltool [0-9]+(\.[0-9]+)+' out.txt || fail "--version printed: $(cat out.txt)"
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

# Entry names are Windows-1252 in the archive, UTF-8 in file names here: 11
# characters are 11 bytes, list and unpack show and make the UTF-8 names.
mkdir -p accents && cp level.pcx accents/Château.pcx && echo "the map" > accents/Château.map
expect 0 "pack takes an 11-character accented name" "$vbltool" pack accents.dat accents/Château.map
[ "$(od -An -c -j4 -N12 accents.dat | tr -s ' ')" = " C h 342 t e a u . m a p \\0" ] ||
  fail "pack did not store Château.map in Windows-1252: $(od -An -c -j4 -N12 accents.dat)"
expect 0 "pack an accented name beside level.pcx" "$vbltool" pack accents2.dat level.pcx accents/Château.map
expect 0 "list of accented names" "$vbltool" list accents2.dat
grep -qx "$(printf '     1  Château.map   %11d %11d' $((44 + $(stat -c %s level.pcx))) 8)" out.txt ||
  fail "list does not show Château.map in its columns: $(cat out.txt)"
expect 0 "unpack accented names" "$vbltool" unpack accents2.dat accents-out
cmp -s accents-out/Château.map accents/Château.map || fail "unpack did not make Château.map: $(ls accents-out)"
echo mine > Łódź.map
refuses "pack refuses a name Windows-1252 cannot hold" "Łódź.map: its name holds 'Ł', which the game's code page" \
  "$vbltool" pack polish.dat Łódź.map
refuses "pack refuses a name that is not UTF-8" "its name is not valid UTF-8" "$vbltool" pack bad8.dat "$(printf 'x\xe2.map')"
[ -e polish.dat ] || [ -e bad8.dat ] && fail "pack wrote an archive it refused"
# The launcher shows only level.pcx: a picture named otherwise but for case is packed, with a warning.
mkdir -p up && cp level.pcx up/LEVEL.PCX
expect 0 "pack of LEVEL.PCX" "$vbltool" pack up.dat up/LEVEL.PCX readme.txt
grep -qx "vbltool: up/LEVEL.PCX: warning: the launcher shows no picture: it takes only an entry named level.pcx, in \
lower case (rename the file)" err.txt || fail "pack of LEVEL.PCX did not warn: $(cat err.txt)"
expect 0 "pack of level.pcx" "$vbltool" pack quiet.dat level.pcx readme.txt
[ -s err.txt ] && fail "pack warned of a sound picture name: $(cat err.txt)"
# Many pictures into a folder that is not one: why, not the bare usage.
refuses "pcx2bmp of many into a missing folder" "nodir/: the folder does not exist" "$vbltool" pcx2bmp level.pcx level.pcx nodir/
refuses "pcx2bmp into a folder by its form" "nodir/: the folder does not exist" "$vbltool" pcx2bmp level.pcx nodir/
refuses "pcx2bmp of many into a file" "readme.txt: is not a folder" "$vbltool" pcx2bmp level.pcx level.pcx readme.txt

# Refusals: a reason on one line, no output file.
refuses "pack refuses a 12-character name before reading it" "abcdefgh.pcx: entry names must have 1 to 11" \
  "$vbltool" pack long.dat "$work/abcdefgh.pcx"
cp level.pcx abcdefgh.pcx
refuses "pack refuses a 12-character name" "entry names must have 1 to 11" "$vbltool" pack long.dat abcdefgh.pcx
[ -e long.dat ] && fail "pack left an archive behind"
cp level.pcx abcdefg.pcx
expect 0 "pack takes an 11-character name" "$vbltool" pack short.dat abcdefg.pcx
mkdir -p sub && cp level.pcx sub/level.pcx && cp level.pcx sub/LEVEL.PCX
for second in sub/level.pcx sub/LEVEL.PCX; do
  refuses "pack refuses $second beside level.pcx" "$second: its name is that of level.pcx" \
    "$vbltool" pack dup.dat level.pcx "$second"
done
[ -e dup.dat ] && fail "pack wrote an archive with two entries of one name"
head -c 100 level.pcx > broken.pcx
refuses "pcx2bmp refuses a truncated picture" "broken.pcx: header shorter than 128 bytes" "$vbltool" pcx2bmp broken.pcx broken.bmp
[ -e broken.bmp ] && fail "pcx2bmp left an output file behind"
# Many pictures into a folder: the bytes of one at a time, and a refusal stops no other; two pictures
# that would get one name (ignoring case) are refused before any is written.
mkdir -p shots sub dups && cp level.pcx LEVEL2.PCX && cp level.pcx sub/Level.pcx
refuses "pcx2bmp of many, one refused" "broken.pcx: header shorter than 128 bytes" \
  "$vbltool" pcx2bmp level.pcx broken.pcx LEVEL2.PCX shots
cmp -s shots/level.bmp direct.bmp && cmp -s shots/LEVEL2.bmp direct.bmp || fail "pcx2bmp of many wrote other bytes"
[ -e shots/broken.bmp ] && fail "pcx2bmp of many left an output file for a refused picture"
refuses "pcx2bmp refuses two pictures of one name" "would both be written as" \
  "$vbltool" pcx2bmp LEVEL2.PCX level.pcx sub/Level.pcx dups
[ -z "$(ls dups)" ] || fail "pcx2bmp wrote pictures before refusing two of one name"
refuses "preview of an archive without level.pcx" "short.dat: no entry named level.pcx" "$vbltool" preview short.dat none.bmp
[ -e none.bmp ] && fail "preview left an output file behind"
refuses "list of a missing archive" "missing.dat: cannot open" "$vbltool" list missing.dat
printf 'ab' > tiny.dat
refuses "list of a file too short for a count" "tiny.dat: file too short" "$vbltool" list tiny.dat

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

# unpack: a round trip through pack, in list order, gives back the same bytes.
expect 0 "unpack into a new folder" "$vbltool" unpack castle.dat out/
expect 0 "pack what unpack wrote" "$vbltool" pack again.dat out/readme.txt out/level.pcx
cmp -s castle.dat again.dat || fail "unpack and pack again changed the archive"
# Existing files stay unless --force, which replaces a link, not its target.
echo "mine" > out/readme.txt
rm out/level.pcx
expect 1 "unpack over an existing file" "$vbltool" unpack castle.dat out
[ -e out/level.pcx ] && fail "unpack wrote beside a file it refused to replace"
echo "victim" > victim.txt
ln -sf ../victim.txt out/readme.txt
echo "mine" > out/notes.txt
expect 0 "unpack --force" "$vbltool" unpack castle.dat out --force
[ "$(cat victim.txt)" = victim ] || fail "unpack --force wrote through a link out of the folder"
cmp -s out/readme.txt readme.txt && cmp -s out/level.pcx level.pcx || fail "unpack --force did not restore the files"
[ "$(echo $(ls -A out))" = "level.pcx notes.txt readme.txt" ] || fail "unpack --force left: $(ls -A out)"

# All or nothing when unpack fails midway (vbltool_faults): the author's folder stays byte for byte, a folder
# made for the run goes; a file appearing at an entry's name (a short name on Windows) is an error, and kept.
printf 'the map' > extra.map
expect 0 "pack three entries" "$vbltool" pack three.dat readme.txt level.pcx extra.map
snap() { [ -e "$1" ] && (cd "$1" && ls -lA --time-style=+ && cat -- *) || echo "no $1"; }
while IFS='|' read -r what fault dir force said; do
  rm -rf mine fresh && mkdir mine && echo "my map" > mine/readme.txt && echo "my picture" > mine/level.pcx
  echo "my notes" > mine/notes.txt && before=$(snap "$dir")
  expect 1 "unpack with $what" env VBLTOOL_FAULT="$fault" "$faults" unpack three.dat "$dir" $force
  [ "$(snap "$dir")" = "$before" ] || fail "unpack with $what left $dir changed: $(ls -A "$dir")"
  grep -q "^vbltool: $said" err.txt && [ "$(wc -l < err.txt)" -le 3 ] || fail "unpack with $what said: $(cat err.txt)"
done <<'TABLE'
a full disk, into a new folder|disk:6|fresh||fresh/level.pcx: cannot write it: No space left
a full disk, replacing files|disk:6|mine|--force|mine/level.pcx: cannot write it: No space left
a rename failing after two|move:4|mine|--force|mine/level.pcx: cannot rename
a rename failing at once|move:1|mine|--force|mine/readme.txt: cannot rename the existing file aside
TABLE
expect 1 "unpack as a file appears" env VBLTOOL_FAULT=appear:2 "$faults" unpack three.dat fresh
[ "$(ls -A fresh)" = level.pcx ] && [ "$(cat fresh/level.pcx)" = appeared ] && grep -q "^vbltool: fresh/level.pcx: appeared while" \
  err.txt || fail "unpack as a file appears left $(ls -A fresh), said: $(cat err.txt)"
# The other commands replace an output file whole or not at all: on a full disk the old one stays.
mkdir -p outs
for cmd in "pack outs/old.dat readme.txt level.pcx" "pcx2bmp level.pcx outs/old.bmp" "picture level.pcx outs/old.pcx"; do
  out=$(echo "$cmd" | grep -o "outs/[^ ]*")
  echo "the author's old file" > "$out"
  expect 1 "${cmd%% *} on a full disk" env VBLTOOL_FAULT=disk:60 "$faults" $cmd
  [ "$(ls -A outs)" = "${out#outs/}" ] && [ "$(cat "$out")" = "the author's old file" ] ||
    fail "${cmd%% *} on a full disk left: $(ls -A outs), $(head -c 40 "$out")"
  rm -f "$out"
done

# Hostile archives: entry 0 is sound, entry 1 is not; nothing may be written,
# and check must call the same entry an error.
le32() { local v=$1; printf "$(printf '\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255)))"; }
hostile() {  # hostile OUT NAME OFFSET SIZE
  { le32 2; printf 'ok.txt\0\0\0\0\0\0'; le32 44; le32 5
    printf '%s' "$2" | head -c 12; head -c $((12 - ${#2})) /dev/zero; le32 "$3"; le32 "$4"; printf 'hello'; } > "$1"
}
while IFS='|' read -r what name offset size; do
  hostile bad.dat "$(printf "$name")" "$offset" "$size"
  expect 1 "unpack refuses $what" "$vbltool" unpack bad.dat bad-out
  grep -q "entry 1 " err.txt || fail "unpack does not name the entry with $what: $(cat err.txt)"
  [ -e bad-out ] && { fail "unpack wrote something for $what"; rm -rf bad-out; }
  expect 1 "check flags $what" "$vbltool" check bad.dat
  grep -q "^bad.dat: error: entry 1 " out.txt || fail "check does not flag $what: $(cat out.txt)"
done <<'TABLE'
an empty name||44|5
the name .|.|44|5
the name ..|..|44|5
a slash|../etc|44|5
a backslash|..\\win.ini|44|5
a drive colon|c:boot.ini|44|5
a control character|bell\a|44|5
a character Windows refuses|what?.txt|44|5
a byte Windows-1252 leaves undefined|ch\x81.txt|44|5
a trailing dot|ok.txt.|44|5
CON|CON|44|5
a device name with an extension|nul.tar.gz|44|5
a lower-case device name|com1.pcx|44|5
LPT9|Lpt9|44|5
a name equal but for case|OK.TXT|44|5
a negative offset|x|-1|5
a negative size|x|44|-5
data past the end|x|40|10
an offset that wraps|x|2147483647|2
TABLE
cp level.pcx con.txt
expect 1 "pack refuses a device name" "$vbltool" pack dev.dat con.txt
[ -e dev.dat ] && fail "pack wrote an archive unpack refuses"

# check: good, warned and broken archives in one run; an unreadable file
# does not stop the others.
printf 'P6\n500 300\n255\n' > big.ppm && head -c 450000 /dev/zero >> big.ppm
mkdir -p big && ppmtopcx -24bit big.ppm > big/level.pcx 2>/dev/null
expect 0 "pack a large picture" "$vbltool" pack wide.dat big/level.pcx
expect 0 "check of sound archives" "$vbltool" check castle.dat wide.dat
[ "$(cat out.txt)" = "wide.dat: warning: level.pcx is 500 x 300 pixels; the viewer shows 407 x 263 at (263, 7) \
and cuts off 93 columns on the right and 37 rows at the bottom" ] || fail "check of sound archives: $(cat out.txt)"
mkdir -p deep && { printf '\x0a\x05\x01\xff'; head -c 61 /dev/zero; printf '\xff\x01\x00'; head -c 315 /dev/zero; } > deep/level.pcx
expect 0 "pack 255 planes of 255 bits" "$vbltool" pack deep.dat deep/level.pcx
expect 1 "check of broken archives" "$vbltool" check missing.dat outside.dat short.dat deep.dat castle.dat
grep -Evq '^[a-z]+\.dat: (error|warning): ' out.txt && fail "check wrote a line of another form: $(cat out.txt)"
for want in "missing.dat: error: cannot open" "outside.dat: warning: the entry count is 268435465" \
    "outside.dat: error: entry 0 'readme.txt': its data" "short.dat: error: the launcher shows no picture: no entry" \
    "deep.dat: error: the launcher cannot make a bitmap of level.pcx (1 x 1, 65025 bits per pixel)"; do
  grep -qF "$want" out.txt || fail "check did not say: $want"
done
grep -q castle.dat out.txt && fail "check flags a sound archive among broken ones"
# Thousands of bad records must not drown the other files: 20 problems, then a count.
# The last of the 30 records is cut short by the end of the file, and still counts.
{ le32 30; head -c 590 /dev/zero; } > junk.dat
expect 1 "check of 30 bad records" "$vbltool" check junk.dat castle.dat
[ "$(wc -l < out.txt)" = 21 ] && grep -qx "junk.dat: note: 11 more problems (vbltool check --all junk.dat lists them)" out.txt ||
  fail "check of 30 bad records: $(cat out.txt)"
expect 1 "check --all of 30 bad records" "$vbltool" check --all junk.dat
[ "$(grep -c '^junk.dat: error: ' out.txt)" = 31 ] || fail "check --all did not list all: $(cat out.txt)"
# The launcher refuses that picture at its bitmap step: so must pcx2bmp and preview.
expect 1 "pcx2bmp of a picture the launcher cannot show" "$vbltool" pcx2bmp deep/level.pcx deep.bmp
expect 1 "preview of a picture the launcher cannot show" "$vbltool" preview deep.dat deep.bmp
grep -q "bits per pixel" err.txt && [ ! -e deep.bmp ] || fail "a refused picture was written: $(cat err.txt)"

# Arguments and inputs a command cannot take, and what it says (stderr, then stdout):
# exit status | what | words said | command
truncate -s 3G huge.dat  # sparse: no disk space taken
{ le32 5; printf 'a'; head -c 11 /dev/zero; le32 24; le32 0; } > cut-short.dat
mkdir -p folder.pcx
while IFS='|' read -r status what said cmd; do
  expect "$status" "$what" eval "$cmd"
  grep -qF -- "$said" err.txt out.txt || fail "$what: wanted '$said', got: $(cat err.txt out.txt)"
done <<'TABLE'
2|cmdline with two levels|more than one level: two|"$vbltool" cmdline one two
0|cmdline with a level after --|-dat .\levels\--odd.dat|"$vbltool" cmdline -- --odd
2|check without a file|usage: vbltool check|"$vbltool" check --all
2|unpack into an empty name|usage: vbltool unpack|"$vbltool" unpack castle.dat ''
1|list of a file above 2 GiB|huge.dat: file is larger than 2 GiB|"$vbltool" list huge.dat
1|check of a file above 2 GiB|huge.dat: error: the file is larger than 2 GiB|"$vbltool" check huge.dat
1|pack of a folder|folder.pcx: cannot read the file|"$vbltool" pack folder.dat folder.pcx
1|pack onto a folder|folder.pcx: is a folder|"$vbltool" pack folder.pcx level.pcx
1|pcx2bmp into a missing folder|nowhere/out.bmp: the folder 'nowhere' does not exist|"$vbltool" pcx2bmp level.pcx nowhere/out.bmp
1|pcx2bmp onto a full device|/dev/full: cannot write|"$vbltool" pcx2bmp level.pcx /dev/full
1|pcx2bmp of many, one missing|missing.pcx: cannot open the file|"$vbltool" pcx2bmp missing.pcx level.pcx shots
1|unpack of a file too short for a count|tiny.dat: file too short|"$vbltool" unpack tiny.dat tiny
1|unpack into a folder below a file|readme.txt/sub: cannot create the folder|"$vbltool" unpack castle.dat readme.txt/sub
0|unpack of a directory cut short|holds only 1 of the 5 directory records|"$vbltool" unpack cut-short.dat cut-short
0|pcx2bmp's read count, for the benchmarks| read calls|VBLTOOL_STATS=1 "$vbltool" pcx2bmp level.pcx stats.bmp
TABLE

echo "$failures failures"
[ $failures = 0 ]
