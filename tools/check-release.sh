#!/usr/bin/env bash
# Makes the release of HEAD twice, from two clones in different folders one
# after the other, and fails unless the two zips are the same bytes and hold
# the build/win32/vblLM.exe that `ctest --preset win32` checked (so run it
# after the win32 build, on a tree without uncommitted changes). Likewise
# vbltool's Debian package: the second clone's (tools/release-deb.sh) must be
# the same bytes as the one packed from build/native, which
# `ctest --preset native` checked (one more build of vbltool alone, not two).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
commit=$(git -C "$root" rev-parse --verify HEAD)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
clones=("$tmp/one/vblLM" "$tmp/two/somewhere/else")
for clone in "${clones[@]}"; do
  git clone -q --no-checkout "$root" "$clone"
  git -C "$clone" checkout -q --detach "$commit"
  "$clone/tools/release.sh" >"$clone.log" 2>&1 || { cat "$clone.log"; exit 1; }
  tail -n 1 "$clone.log"
done
first=(${clones[0]}/dist/*.zip) second=(${clones[1]}/dist/*.zip)
if ! cmp "${first[0]}" "${second[0]}" || ! cmp "${clones[0]}/dist/SHA256SUMS" "${clones[1]}/dist/SHA256SUMS"; then
  echo "check-release: two releases of $commit differ" >&2
  exit 1
fi
python3 "$root/tests/product/check_release.py" "${first[0]}" "$root/build/win32/vblLM.exe"
"${clones[1]}/tools/release-deb.sh" >"$tmp/deb.log" 2>&1 || { cat "$tmp/deb.log"; exit 1; }
tail -n 1 "$tmp/deb.log"
deb=(${clones[1]}/dist/*.deb)
native=$("$root/tools/pack-deb.sh" "$root/build/native" "$tmp/native")
if ! cmp "${deb[0]}" "$native"; then
  echo "check-release: vbltool's package of $commit from another clone differs from build/native's" >&2
  exit 1
fi
