#!/usr/bin/env bash
# Installs what the builds need, builds every preset and runs every test:
# the 32-bit product's file check, the 64-bit Windows tests under Wine, and
# the Linux builds of the core with and without sanitizers (fuzz smoke included).
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
  ctest --preset "$preset" || failed+=("$preset")
done
echo "== release, twice"
tools/check-release.sh || failed+=(release)
if ((${#failed[@]})); then
  echo "FAILED presets: ${failed[*]}"
  exit 1
fi
