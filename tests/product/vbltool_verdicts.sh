#!/usr/bin/env bash
# The 32-bit vbltool.exe, run emulated, must give the native build's verdicts
# on the kept fuzz corpus: fuzzing runs only on the native build, and
# pointer-size faults live in the 32-bit one. Compared: check's report with
# every problem listed (one run over the archives) and its exit status;
# pcx2bmp's exit status and BMP bytes, for every picture.
# Usage: vbltool_verdicts.sh WINE_RUN32 VBLTOOL.exe NATIVE_VBLTOOL CORPUS
set -uo pipefail
run32=$1 exe=$2 native=$3 corpus=$4
[ -x "$native" ] || { echo "FAIL  no $native: build the native preset first (tools/test-all.sh does)"; exit 1; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT # under /tmp, which the emulated environment sees as it is
mkdir "$work/native" "$work/win32" && failures=0
compare() { # compare WHAT: native WHAT against the 32-bit one, CRs dropped
  tr -d '\r' <"$work/win32-$1" | diff "$work/native-$1" - >"$work/diff" ||
    { echo "FAIL  $1 differs (< native, > 32-bit):"; head -n 20 "$work/diff" "$work/stderr"; failures=$((failures + 1)); }; }

# Both given the archives' names relative to their folder, so that the
# reports' FILE: prefixes are spelt alike. 500 names of 40 digits fit a
# Windows command line (32767 characters).
cd "$corpus/level" || exit 1
{ ls | xargs -n 500 "$native" check --all; echo "status $?"; } >"$work/native-check"
{ ls | VBL_NO_XVFB=1 xargs -n 500 "$run32" "$exe" check --all; echo "status $?"; } >"$work/win32-check" 2>"$work/stderr"
compare check

# One start of the emulated environment for every picture.
cd "$corpus/pcx" || exit 1
for pcx in *; do "$native" pcx2bmp "$pcx" "$work/native/$pcx.bmp" 2>/dev/null; echo "$pcx $?"; done >"$work/native-pcx2bmp"
"$run32" --command /bin/bash -c 'run=$1 exe=$2 out=$3; shift 3
  for pcx; do VBL_NO_XVFB=1 "$run" "$exe" pcx2bmp "$pcx" "Z:$out/$pcx.bmp" >/dev/null 2>&1; echo "$pcx $?"; done' \
  sh "$(dirname "$run32")/wine-run.sh" "$exe" "$work/win32" * >"$work/win32-pcx2bmp" 2>"$work/stderr"
compare pcx2bmp
diff -rq "$work/native" "$work/win32" || { echo "FAIL  BMP files differ"; failures=$((failures + 1)); }
echo "$(ls "$corpus/level" | wc -l) archives, $(ls "$corpus/pcx" | wc -l) pictures; $failures failures"
[ $failures = 0 ]
