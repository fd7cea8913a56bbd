#!/usr/bin/env bash
# Builds the release of the commit checked out here, as committed:
#   dist/vblLM-<version>-win32.zip  vblLM.exe, vbltool.exe, LISEZMOI.txt, vbltool.txt,
#                                   LICENSE.txt, NOTICES.txt
#   dist/SHA256SUMS                 the zip's SHA-256, as sha256sum writes it
# <version> is the CMake project's version. The commit is exported to a fresh
# temporary folder and built there with the win32 preset (without the tests,
# which do not change the programs' bytes). One commit gives the same bytes
# wherever and whenever it is built: the programs hold no time stamp and no
# build path, and the zip's entries come in a fixed order, dated at the
# commit's time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
tools/install-deps.sh

source tools/export-commit.sh release.sh
(
  cd "$src"
  cmake --preset win32 -DVBL_BUILD_TESTS=OFF >/dev/null
  cmake --build --preset win32 -j2 --target vblLM vbltool
)
build=$src/build/win32
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
if [ -z "$version" ]; then
  echo "release.sh: the CMake cache holds no project version" >&2
  exit 1
fi

# The product file check, on the very files that go into the zip.
python3 "$src/tests/product/check_product.py" "$build/vblLM.exe"
python3 "$src/tests/product/check_product.py" "$build/vbltool.exe" OldestWindowsTest
# Every library the two links took code from has its notice in NOTICES.txt.
python3 "$src/tools/check_notices.py" "$src/docs/NOTICES.txt" "$build/vblLM.exe.map" "$build/vbltool.exe.map"

zip=vblLM-$version-win32.zip
mkdir -p dist
rm -f "dist/$zip" dist/SHA256SUMS
python3 "$src/tools/pack_release.py" "dist/$zip" "$version" \
  vblLM.exe="$build/vblLM.exe" \
  vbltool.exe="$build/vbltool.exe" \
  LISEZMOI.txt="$src/docs/LISEZMOI.txt" \
  vbltool.txt="$src/docs/vbltool.md" \
  LICENSE.txt="$src/LICENSE" \
  NOTICES.txt="$src/docs/NOTICES.txt"
(cd dist && sha256sum "$zip" >SHA256SUMS)
echo "release $commit: $root/dist/$zip"
cat dist/SHA256SUMS
