#!/usr/bin/env bash
# End to end: the built program in a game folder, on a virtual X display,
# driven with the keyboard as a person would, and the preview checked on a
# screenshot of the screen.
#
#   tests/e2e/preview-e2e.sh [PATH/vblLM.exe]     (default build/win64/vblLM.exe)
#   VBL_E2E_SHOT_DIR=DIR keeps the screenshots that passed.
#
# The game folder holds two levels whose pictures are four flat quadrants of
# colours found nowhere else on the screen. The person presses Home (first
# level), Tab (to "Visualiseur de niveau") and space: the first picture must
# appear, 1:1 and the right way up. Then Shift+Tab (back to the list) and
# Down: the second picture must replace it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
exe=$(realpath "${1:-$root/build/win64/vblLM.exe}")
[ -f "$exe" ] || { echo "preview-e2e: no program at $exe" >&2; exit 2; }
for tool in xdotool import convert python3 xvfb-run wine; do
  command -v "$tool" >/dev/null || { echo "preview-e2e: $tool is missing" >&2; exit 2; }
done

# Our own display, and our own Wine prefix: a prefix's virtual desktop lives
# on the display of whichever program started it first.
if [ -z "${VBL_E2E_DISPLAY_READY:-}" ]; then
  export VBL_E2E_DISPLAY_READY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$exe"
fi
export VBL_WINEPREFIX=${VBL_E2E_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vbllm-wine-e2e}

work=$(mktemp -d "${TMPDIR:-/tmp}/vblLM-e2e.XXXXXX")
program_pid=
cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Colours of the quadrants (top-left, top-right, bottom-left, bottom-right).
pic_a="250,20,20 20,250,20 20,20,250 250,250,20"
pic_b="200,100,0 0,100,200 100,0,200 200,0,100"

mkdir -p "$work/game/levels"
python3 - "$work/game/levels" "$pic_a" "$pic_b" <<'EOF'
import struct, sys
out, pics = sys.argv[1], sys.argv[2:]
W, H = 64, 48

def pcx(colours):
    hdr = bytearray(128)
    hdr[0:4] = bytes([10, 5, 1, 8])
    struct.pack_into('<4h', hdr, 4, 0, 0, W - 1, H - 1)
    hdr[65] = 1
    struct.pack_into('<h', hdr, 66, W)
    data = bytearray()
    for y in range(H):
        for half in range(2):
            index = (2 if y >= H // 2 else 0) + half
            data += bytes([0xC0 | (W // 2), index])   # a run of 32 pixels
    pal = bytearray(768)
    for k, c in enumerate(colours):
        pal[3 * k:3 * k + 3] = bytes(int(v) for v in c.split(','))
    return bytes(hdr) + bytes(data) + b'\x0c' + bytes(pal)

def archive(entries):
    head = struct.pack('<i', len(entries))
    offset = 4 + 20 * len(entries)
    body = b''
    for name, data in entries:
        head += name.encode().ljust(12, b'\0') + struct.pack('<ii', offset, len(data))
        offset += len(data)
        body += data
    return head + body

for name, colours in (('a_first', pics[0].split()), ('b_second', pics[1].split())):
    with open(f'{out}/{name}.dat', 'wb') as f:
        f.write(archive([('map.bin', b'xyz'), ('level.pcx', pcx(colours))]))
EOF

# Looks for picture $1 on a screenshot; prints where, or why not.
check_picture() {
  import -window root "$work/shot.png"
  convert "$work/shot.png" -depth 8 "$work/shot.ppm"
  python3 - "$work/shot.ppm" "$1" "$2" <<'EOF'
import sys
path, want, other = sys.argv[1], sys.argv[2].split(), sys.argv[3].split()
raw = open(path, 'rb').read()
fields, pos = [], 0
while len(fields) < 4:                      # P6, width, height, maxval
    while raw[pos:pos + 1].isspace(): pos += 1
    start = pos
    while not raw[pos:pos + 1].isspace(): pos += 1
    fields.append(raw[start:pos])
w, h = int(fields[1]), int(fields[2])
px = raw[pos + 1:]
targets = {bytes(int(v) for v in c.split(',')): c for c in want + other}
hits = {c: [] for c in want + other}
for i in range(0, len(px) - 2, 3):
    c = targets.get(px[i:i + 3])
    if c is not None: hits[c].append(i // 3)
def find(colour):
    found = hits[colour]
    if not found: return None
    xs = [i % w for i in found]; ys = [i // w for i in found]
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1, len(found)
boxes = [find(c) for c in want]
if any(b is None for b in boxes):
    print('picture not on the screen'); sys.exit(1)
x0, y0 = boxes[0][0], boxes[0][1]
expect = [(x0, y0), (x0 + 32, y0), (x0, y0 + 24), (x0 + 32, y0 + 24)]
for (bx, by, bw, bh, n), (ex, ey), c in zip(boxes, expect, want):
    if (bx, by, bw, bh, n) != (ex, ey, 32, 24, 32 * 24):
        print(f'quadrant {c}: {bw}x{bh} at ({bx},{by}), {n} pixels; expected 32x24 at ({ex},{ey})')
        sys.exit(1)
if any(find(c) for c in other):
    print('the other picture is still on the screen'); sys.exit(1)
print(f'picture at ({x0},{y0}) of the screen, 64x48, 1:1, the right way up')
EOF
}

# Waits until picture $1 (and not $2) is on the screen, up to 20 s; $3 names
# the step, $4 numbers the screenshot kept in $VBL_E2E_SHOT_DIR when set.
wait_for_picture() {
  local tries=0 why
  while ! why=$(check_picture "$1" "$2"); do
    tries=$((tries + 1))
    if [ $tries -ge 20 ]; then
      echo "preview-e2e: FAILED: $3: $why" >&2
      cp "$work/shot.png" "${TMPDIR:-/tmp}/preview-e2e-failure.png" 2>/dev/null || true
      exit 1
    fi
    sleep 1
  done
  echo "preview-e2e: $3: $why"
  if [ -n "${VBL_E2E_SHOT_DIR:-}" ]; then
    mkdir -p "$VBL_E2E_SHOT_DIR" && cp "$work/shot.png" "$VBL_E2E_SHOT_DIR/preview-e2e-$4.png"
  fi
}

(cd "$work/game" && exec "$root/cmake/wine-run.sh" "$exe") &
program_pid=$!

# The program's window is inside Wine's desktop window; wait for it, give the
# dialog time to come up, and give the desktop the keyboard.
desk=
for _ in $(seq 1 120); do
  desk=$(xdotool search --name "Wine desktop" 2>/dev/null | head -n1 || true)
  [ -n "$desk" ] && break
  sleep 1
done
[ -n "$desk" ] || { echo "preview-e2e: FAILED: no Wine desktop window" >&2; exit 1; }
sleep 4
xdotool windowfocus --sync "$desk" 2>/dev/null || xdotool windowfocus "$desk"
sleep 0.5

# Focus starts on the level list.
xdotool key --delay 300 Home Tab space
wait_for_picture "$pic_a" "$pic_b" "first level, viewer ticked" 1

xdotool key --delay 300 shift+Tab Down
wait_for_picture "$pic_b" "$pic_a" "second level by the arrow key" 2

# Alt+F4 closes the program as its close box does.
xdotool key alt+F4
for _ in $(seq 1 20); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.5
done
if kill -0 "$program_pid" 2>/dev/null; then
  echo "preview-e2e: FAILED: the program did not end on Alt+F4" >&2
  exit 1
fi
wait "$program_pid" || true
program_pid=
echo "preview-e2e: passed"
