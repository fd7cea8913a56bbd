#!/usr/bin/env bash
# Installs what the builds need, builds every preset and runs every test:
# the 32-bit product's file check and its tests under emulated 32-bit Wine
# (the environment is set up on first use), the same tests of the 64-bit build
# under Wine, and the Linux builds of the core with and without sanitizers
# (fuzz smoke included); then makes the release twice and compares (and
# vbltool's Debian package once more, against build/native's).
#
# Two cores are kept busy by running side by side what shares no Wine prefix:
#   - the emulated environment and the 32-bit runs' Wine prefixes are made in
#     the background from the start (downloads and disk, mostly) while the
#     compilers run;
#   - the 32-bit tests, emulated and taking turns in their prefixes, run in
#     the background beside the other builds, their tests and the release;
#   - the 64-bit runner's prefix is made in the background too;
#   - the Linux presets and the 64-bit one run two of their tests at a time
#     (the fuzz smokes side by side; the tests in the runner's Wine prefix
#     take turns, see VBL_PREFIX_LOCK).
# The compilers that run beside the 32-bit tests yield to them (nice): those
# drive a dialog on a display, with waits of their own. A background part's
# output is printed whole when it ends. Any build, test or part failing fails
# the script, once everything has run.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh
# The emulated 32-bit runs need root (cmake/wine-run32.sh): ask for sudo's
# password now, in the foreground, not from a background part.
[ "$(id -u)" -eq 0 ] || sudo -v

# Each background part in a process group of its own, ended with the script.
set -m
logs=$(mktemp -d)
declare -A parts=()
stop_parts() {
  local pid
  for pid in "${parts[@]}"; do kill -- -"$pid" 2>/dev/null || true; done
  rm -rf "$logs"
}
trap stop_parts EXIT
trap 'exit 130' INT TERM
start() { # start NAME COMMAND...: runs COMMAND in the background, its output kept
  local name=$1
  shift
  "$@" </dev/null >"$logs/$name" 2>&1 &
  parts[$name]=$!
}
finish() { # finish NAME: waits for NAME's end and prints its output; its status
  local name=$1 status=0
  wait "${parts[$name]}" || status=$?
  unset "parts[$name]"
  echo "== $name (ran in the background, status $status):"
  cat "$logs/$name"
  return "$status"
}
timed() { # timed LABEL COMMAND...: COMMAND, then how long it took
  local label=$1 started=$SECONDS status=0
  shift
  "$@" || status=$?
  echo "== $label: $((SECONDS - started)) s"
  return "$status"
}
build() { # build PRESET [nice]: nice, beside the 32-bit tests, so that they keep the CPU they wait on
  echo "== build $1"
  cmake --preset "$1" >/dev/null
  timed "build $1" ${2:+nice -n 10} cmake --build --preset "$1" -j2
}

# The emulated environment, then in it the programs' prefix and the
# end-to-end script's (cmake/wine-run32.sh names both), each made as the
# tests would make it on first use; then, once the builds they need are
# there, the 32-bit tests.
lane_win32() {
  if ! timed "prepare win32" prepare_win32; then
    echo "test-all: the emulated 32-bit Windows environment or its Wine prefixes could not be made (above)"
    return 1
  fi
  until [ -e "$logs/built-win32" ]; do sleep 1; done
  echo "== test win32"
  timed "test win32" ctest --preset win32
}
prepare_win32() {
  cmake/wine-run32.sh --version &&
    cmake/wine-run32.sh --command /bin/sh -c 'VBL_WINEPREFIX=$VBL_E2E_WINEPREFIX exec "$0" --version' \
      "$root/cmake/wine-run.sh"
}

failed=()
start win32 lane_win32
start prepare-win64 timed "prepare win64" cmake/wine-run.sh --version
# The win32 tests compare vbltool.exe with the native build's: native first.
build native
build win32
touch "$logs/built-win32"
build win64 nice
build asan nice
echo "== test native"
timed "test native" ctest --preset native -j2 || failed+=(native)
finish prepare-win64 || failed+=(prepare-win64)
echo "== test win64"
timed "test win64" ctest --preset win64 -j2 || failed+=(win64)
echo "== test asan"
timed "test asan" ctest --preset asan -j2 || failed+=(asan)
echo "== release, twice"
timed "release, twice" nice -n 10 tools/check-release.sh || failed+=(release)
finish win32 || failed+=(win32)
if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
