#!/usr/bin/env bash
# Lays out a demo game folder: vblLM.exe, the stand-in vorbel.exe and a few
# level archives packed with vbltool from pictures drawn by draw-levels.py.
# usage: make-demo.sh WIN64_BUILD_DIR VBLTOOL OUT_DIR
set -euo pipefail
win64=$1 vbltool=$2 out=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rm -rf "$out"
mkdir -p "$out/levels"
cp "$win64/vblLM.exe" "$out/"
cp "$win64/standin-game/vorbel.exe" "$out/"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/draw-levels.py" "$work/pictures"

# pack_level NAME [PICTURE]: an archive with a map, an optional picture as
# level.pcx (the second entry, as authors often put it) and a readme.
pack_level() {
  local name=$1 picture=${2:-} dir="$work/$1"
  mkdir -p "$dir"
  printf 'carte de %s\n' "$name" > "$dir/level.map"
  printf 'Niveau de démonstration "%s", fait pour essayer vblLM.\n' "$name" > "$dir/readme.txt"
  local files=("$dir/level.map")
  if [ -n "$picture" ]; then
    cp "$work/pictures/$picture.pcx" "$dir/level.pcx"
    files+=("$dir/level.pcx")
  fi
  files+=("$dir/readme.txt")
  "$vbltool" pack "$out/levels/$name.dat" "${files[@]}" >/dev/null
}
pack_level "Jardin" jardin
pack_level "grotte profonde" grotte
pack_level "_brouillon" chateau
pack_level "Couchant" couchant
pack_level "sans image"
echo "$out"
