#!/usr/bin/env python3
"""Draws the program icon, resources/vblLM.ico: a pair of wide eyes with
eyebrows, black lines with a few light-grey edge pixels on a transparent
ground. 32x32, 4 bits per pixel, standard 16-colour palette, AND mask.
The image is 744 bytes: 40 header + 64 palette + 512 colour + 128 mask."""
import math
import struct
import sys

W = H = 32
BLACK, SILVER, WHITE, CLEAR = 0, 7, 15, None
# The standard 16-colour palette, as RGBQUAD (blue, green, red, 0).
PALETTE = [(0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
           (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
           (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
           (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF)]


def draw():
    px = [[CLEAR] * W for _ in range(H)]
    for cx in (9.5, 22.5):
        cy, rx, ry = 18.0, 6.2, 8.2
        for y in range(H):
            for x in range(W):
                d = ((x + 0.5 - cx) / rx) ** 2 + ((y + 0.5 - cy) / ry) ** 2
                if d <= 0.72:
                    px[y][x] = WHITE
                elif d <= 1.0:
                    px[y][x] = BLACK
                elif d <= 1.12 and (x + y) % 3 == 0:
                    px[y][x] = SILVER  # a few soft edge pixels
        # Pupils looking slightly to the right and down.
        for y in range(H):
            for x in range(W):
                if (x + 0.5 - (cx + 1.6)) ** 2 + (y + 0.5 - (cy + 2.0)) ** 2 <= 5.0:
                    px[y][x] = BLACK
        # Eyebrow: an arc above the eye.
        for i in range(40):
            t = math.pi * (0.15 + 0.7 * i / 39)
            x = int(cx - 5.0 * math.cos(t))
            y = int(9.0 - 4.0 * math.sin(t))
            for dy in (0, 1):
                if 0 <= y + dy < H and 0 <= x < W:
                    px[y + dy][x] = BLACK
    return px


def encode(px):
    header = struct.pack('<IiiHHIIiiII', 40, W, 2 * H, 1, 4, 0, 512 + 128, 0, 0, 0, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in PALETTE)
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(H)):  # bottom-up rows
        row = px[y]
        for x in range(0, W, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(W):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack('>I', bits)
    image = header + palette + bytes(xor) + bytes(mask)
    assert len(image) == 744
    icondir = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', W, H, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


if __name__ == '__main__':
    out = sys.argv[1] if len(sys.argv) > 1 else 'resources/vblLM.ico'
    with open(out, 'wb') as f:
        f.write(encode(draw()))
