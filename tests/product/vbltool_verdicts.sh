#!/usr/bin/env bash
# The 32-bit vbltool.exe, run emulated, must give the native build's verdicts
# on the kept fuzz corpus: fuzzing runs only on the 64-bit native build, and
# pointer-size faults live in the 32-bit one. Compared: check's report line
# for line with every problem listed (one run over every archive) and its
# exit status; pcx2bmp's exit status and BMP bytes, for every picture.
# Usage: vbltool_verdicts.sh WINE_RUN32 VBLTOOL.exe NATIVE_VBLTOOL CORPUS
set -uo pipefail
run32=$1 exe=$2 native=$3 corpus=$4
if [ ! -x "$native" ]; then
  echo "FAIL  no native vbltool at $native: build the native preset first" \
    "(cmake --preset native && cmake --build --preset native; tools/test-all.sh builds it before any test)"
  exit 1
fi
wine_run=$(dirname "$run32")/wine-run.sh
# Under /tmp, which the emulated environment sees at the same path.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/native" "$work/win32"
failures=0
fail() { echo "FAIL  $1"; failures=$((failures + 1)); }

# check, both given the archives' names relative to their folder, so that
# the reports' FILE: prefixes are spelt alike; only the line ends differ. A
# Windows command line holds 32767 characters: 500 names of 40 digits fit.
cd "$corpus/level" || exit 1
ls | xargs -n 500 "$native" check --all >"$work/native-check.txt"
echo "check status $?" >>"$work/native-check.txt"
ls | xargs -n 500 "$run32" "$exe" check --all >"$work/win32-check.txt" 2>"$work/win32-stderr.txt"
echo "check status $?" >>"$work/win32-check.txt"
tr -d '\r' <"$work/win32-check.txt" >"$work/win32-check-lf.txt"
diff "$work/native-check.txt" "$work/win32-check-lf.txt" >"$work/check.diff" ||
  fail "check reports differ (< native, > 32-bit), from: $(head -n 20 "$work/check.diff"; head -n 5 "$work/win32-stderr.txt")"

# pcx2bmp, once per picture; the 32-bit runs all in one start of the
# emulated environment, whose wineserver then lasts from one to the next.
cd "$corpus/pcx" || exit 1
for pcx in *; do
  "$native" pcx2bmp "$pcx" "$work/native/$pcx.bmp" 2>/dev/null
  echo "$pcx $?"
done >"$work/native-pcx2bmp.txt"
"$run32" --command /bin/bash -c 'run=$1 exe=$2 out=$3; shift 3
  for pcx; do
    VBL_NO_XVFB=1 "$run" "$exe" pcx2bmp "$pcx" "Z:$out/$pcx.bmp" >/dev/null 2>&1
    echo "$pcx $?"
  done' sh "$wine_run" "$exe" "$work/win32" * >"$work/win32-pcx2bmp.txt" 2>"$work/win32-stderr.txt"
diff "$work/native-pcx2bmp.txt" "$work/win32-pcx2bmp.txt" >"$work/pcx2bmp.diff" ||
  fail "pcx2bmp exit statuses differ (< native, > 32-bit): $(head -n 20 "$work/pcx2bmp.diff"; head -n 5 "$work/win32-stderr.txt")"
diff -rq "$work/native" "$work/win32" >"$work/bmp.diff" || fail "BMP files differ: $(head -n 20 "$work/bmp.diff")"

echo "$(ls "$corpus/level" | wc -l) archives, $(ls "$corpus/pcx" | wc -l) pictures; $failures failures"
[ $failures = 0 ]
