#!/usr/bin/env python3
"""Draws the demo game's level pictures as PCX files, into the folder given:
8-bit pictures with a 256-colour palette (the usual level picture), and one
true-colour picture of three 8-bit planes. Everything here is drawn by code."""
import math
import os
import struct
import sys

W, H = 400, 256


def rle_line(line):
    out = bytearray()
    i = 0
    while i < len(line):
        v = line[i]
        n = 1
        while i + n < len(line) and line[i + n] == v and n < 63:
            n += 1
        if n > 1 or v >= 0xC0:
            out += bytes((0xC0 | n, v))
        else:
            out.append(v)
        i += n
    return out


def header(bits, planes, bytes_per_line):
    h = struct.pack('<BBBBhhhhhh', 10, 5, 1, bits, 0, 0, W - 1, H - 1, 72, 72)
    h += bytes(48) + b'\0' + struct.pack('<BHH', planes, bytes_per_line, 1)
    return h + bytes(128 - len(h))


def write_indexed(path, pixels, palette):
    bpl = W + (W & 1)
    data = bytearray(header(8, 1, bpl))
    for y in range(H):
        data += rle_line(bytes(pixels[y]) + bytes(bpl - W))
    data += b'\x0c' + bytes(c for rgb in palette for c in rgb)
    with open(path, 'wb') as f:
        f.write(data)


def write_truecolour(path, rgb):
    bpl = W + (W & 1)
    data = bytearray(header(8, 3, bpl))
    for y in range(H):
        for plane in range(3):
            data += rle_line(bytes(rgb[y][x][plane] for x in range(W)) + bytes(bpl - W))
    with open(path, 'wb') as f:
        f.write(data)


def ramp(a, b, n):
    return [tuple(int(a[k] + (b[k] - a[k]) * i / max(n - 1, 1)) for k in range(3)) for i in range(n)]


def garden():
    # 0-63 sky, 64-127 hills, 128-191 flowers, 192-255 sun.
    pal = ramp((40, 90, 200), (170, 210, 255), 64) + ramp((20, 90, 20), (120, 200, 60), 64) \
        + ramp((200, 40, 60), (255, 200, 220), 64) + ramp((255, 180, 0), (255, 255, 180), 64)
    px = [[0] * W for _ in range(H)]
    for y in range(H):
        for x in range(W):
            hill = 150 + 25 * math.sin(x / 37.0) + 12 * math.sin(x / 11.0 + 1)
            if (x - 320) ** 2 + (y - 50) ** 2 < 900:
                px[y][x] = 192 + min(63, int(63 - math.hypot(x - 320, y - 50) * 2))
            elif y < hill:
                px[y][x] = min(63, y * 63 // 160)
            else:
                px[y][x] = 64 + min(63, int((y - hill) / 2))
                if (x * 7 + y * 13) % 97 == 0:
                    px[y][x] = 128 + (x + y) % 64
    return px, pal


def drawn(index_of):
    """A W x H picture of palette indices, index_of(x, y) at (x, y)."""
    return [[index_of(x, y) for x in range(W)] for y in range(H)]


def cave():
    pal = ramp((10, 8, 6), (120, 100, 80), 128) + ramp((0, 40, 60), (60, 220, 255), 128)

    def index_of(x, y):
        if abs(y - H / 2) > 70 + 30 * math.sin(x / 23.0) + 15 * math.cos(x / 7.0):  # the wall
            return 40 + int(50 * (0.5 + 0.5 * math.sin(x * 0.3 + y * 0.2)))
        return 128 + int(127 * max(0.0, 1 - math.hypot(x - 200, y - 128) / 200))

    return drawn(index_of), pal


def castle():
    pal = ramp((60, 20, 80), (250, 140, 90), 128) + ramp((30, 30, 40), (150, 150, 160), 128)
    px = drawn(lambda x, y: y * 127 // H)
    for (left, right, top) in ((60, 140, 90), (140, 260, 60), (260, 340, 90), (180, 220, 20)):
        for y in range(top, H):
            for x in range(left, right):
                merlon = y < top + 12 and ((x - left) // 10) % 2 == 1
                window = (x - left) % 30 in range(12, 18) and (y - top) % 40 in range(20, 32)
                if not merlon:
                    px[y][x] = 128 + (20 if window else 60 + (x + y) % 8)
    return px, pal


def sunset():
    rgb = []
    for y in range(H):
        row = []
        for x in range(W):
            t = y / H
            r, g, b = int(255 * (1 - t * 0.3)), int(120 + 100 * t), int(60 + 180 * t)
            if y > 170 + 10 * math.sin(x / 30):
                r, g, b = 20 + x % 20, 30 + y % 30, 60
            if math.hypot(x - 120, y - 150) < 40:
                r, g, b = 255, 230, 120
            row.append((r, g, b))
        rgb.append(row)
    return rgb


if __name__ == '__main__':
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, art in (('jardin', garden), ('grotte', cave), ('chateau', castle)):
        px, pal = art()
        write_indexed(os.path.join(out, name + '.pcx'), px, pal)
    write_truecolour(os.path.join(out, 'couchant.pcx'), sunset())
