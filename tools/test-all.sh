#!/usr/bin/env bash
# Installs what the builds need, builds every preset and runs every test:
# the 32-bit product's file check and its tests under emulated 32-bit Wine
# (the environment is set up on first use), the same tests of the 64-bit build
# under Wine, and the Linux builds of the core with and without sanitizers
# (fuzz smoke included).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh
presets=(win32 win64 native asan)
for preset in "${presets[@]}"; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done
failed=()
for preset in "${presets[@]}"; do
  echo "== test $preset"
  started=$SECONDS
  ctest --preset "$preset" || failed+=("$preset")
  echo "== test $preset: $((SECONDS - started)) s"
done
echo "== release, twice"
tools/check-release.sh || failed+=(release)
if ((${#failed[@]})); then
  echo "FAILED presets: ${failed[*]}"
  exit 1
fi
