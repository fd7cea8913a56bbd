#!/usr/bin/env bash
# The 32-bit vbltool.exe, run emulated, must give the native build's verdicts
# on the kept fuzz corpus: fuzzing runs only on the native build, and
# pointer-size faults live in the 32-bit one. Compared: check's report with
# every problem listed (one run over the archives) and its exit status;
# pcx2bmp's reasons and BMP bytes over every picture, and its exit status
# picture by picture for a picture of each verdict; the archive pack makes
# of accented names, given as wildcards.
# Usage: vbltool_verdicts.sh WINE_RUN32 VBLTOOL.exe NATIVE_VBLTOOL CORPUS
set -uo pipefail
run32=$1 exe=$2 native=$3 corpus=$4
[ -x "$native" ] || { echo "FAIL  no $native: build the native preset first (tools/test-all.sh does)"; exit 1; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT # under /tmp, which the emulated environment sees as it is
mkdir "$work/native" "$work/win32" && failures=0
# compare WHAT: native WHAT against the 32-bit one, CRs dropped; names come
# in the ANSI code page (1252 here) from the one, in UTF-8 from the other.
compare() {
  tr -d '\r' <"$work/win32-$1" | iconv -f CP1252 -t UTF-8 | diff "$work/native-$1" - >"$work/diff" ||
    { echo "FAIL  $1 differs (< native, > 32-bit):"; head -n 20 "$work/diff" "$work/stderr"; failures=$((failures + 1)); }; }

# Both given the archives' names relative to their folder, so that the
# reports' FILE: prefixes are spelt alike. 500 names of 40 digits fit a
# Windows command line (32767 characters).
cd "$corpus/level" || exit 1
{ ls | xargs -n 500 "$native" check --all; echo "status $?"; } >"$work/native-check"
{ ls | VBL_NO_XVFB=1 xargs -n 500 "$run32" "$exe" check --all; echo "status $?"; } >"$work/win32-check" 2>"$work/stderr"
compare check

# pcx2bmp: each program converts every picture in one run (IN... DIR, 500 a
# run), saying why for each picture it refuses (its own lines, "vbltool: ...").
into() { # into DIR COMMAND...: COMMAND IN... DIR over every picture here; its reasons
  local dir=$1 && shift
  ls | xargs -n 500 sh -c 'dir=$1 && shift && exec "$@" "$dir"' sh "$dir" "$@" 2>&1 >/dev/null | grep '^vbltool: '
  return "${PIPESTATUS[1]}"
}
cd "$corpus/pcx" || exit 1
{ into "$work/native" "$native" pcx2bmp; echo "status $?"; } >"$work/native-pcx2bmp"
{ VBL_NO_XVFB=1 into "Z:$work/win32" "$run32" "$exe" pcx2bmp; echo "status $?"; } >"$work/win32-pcx2bmp"
: >"$work/stderr" # the reasons are the output compared
compare pcx2bmp
diff -rq "$work/native" "$work/win32" || { echo "FAIL  BMP files differ"; failures=$((failures + 1)); }

# One exit status per picture, each converted by a run of its own: the first
# picture of each native verdict (each reason, and a BMP made). Not every
# picture: a start of the emulated program takes seconds. The 32-bit runs are
# one batch file, which a single Wine start runs.
{ ls "$work/native" | sed -n '1s/[.]bmp$//p'; sed 's/^vbltool: \([^:]*\): \(.*\)/\2\t\1/' "$work/native-pcx2bmp" |
  sort -t "$(printf '\t')" -k1,1 -u | cut -f2 | grep -v '^status '; } >"$work/alone"
while read -r f; do "$native" pcx2bmp "$f" "$work/alone.bmp" 2>/dev/null; echo "$f $?"; done <"$work/alone" >"$work/native-statuses"
winexe=Z:$(tr / '\\' <<<"$exe") winout=Z:$(tr / '\\' <<<"$work/alone.bmp")
{
  printf '@echo off\r\n'
  while read -r f; do printf '"%s" pcx2bmp %s "%s"\r\necho %s %%ERRORLEVEL%%\r\n' "$winexe" "$f" "$winout" "$f"; done <"$work/alone"
} >"$work/alone.bat"
VBL_NO_XVFB=1 "$run32" cmd /c "Z:$(tr / '\\' <<<"$work/alone.bat")" >"$work/win32-statuses" 2>"$work/stderr"
[ "$(wc -l <"$work/alone")" -ge 10 ] || { echo "FAIL  only $(wc -l <"$work/alone") verdicts"; failures=$((failures + 1)); }
compare statuses

# pack, given wildcards as cmd hands them over (vbltool.exe expands them
# itself), writes the Linux program's archive byte for byte: accented names
# are Windows-1252 in both, from UTF-8 names here and wide ones in Windows.
mkdir "$work/names" && cd "$work/names" || exit 1
printf 'the castle' >Château.map && printf 'notes' >Élan.txt && cp "$corpus/pcx/$(ls "$corpus/pcx" | head -n 1)" level.pcx
"$native" pack "$work/native.dat" level.pcx *.map *.txt
VBL_NO_XVFB=1 "$run32" "$exe" pack "Z:$work/win32.dat" level.pcx '*.map' '*.txt' 2>"$work/stderr"
cmp -s "$work/native.dat" "$work/win32.dat" ||
  { echo "FAIL  pack with wildcards and accented names differs:"; cat "$work/stderr"; failures=$((failures + 1)); }
echo "$(ls "$corpus/level" | wc -l) archives, $(ls "$corpus/pcx" | wc -l) pictures, $(wc -l <"$work/alone") alone; $failures failures"
[ $failures = 0 ]
