#!/usr/bin/env python3
"""Palette BMPs, run-length (BI_RLE8, BI_RLE4) or not, and the pictures they
hold, as PPM.

A random picture of runs, noise and empty stretches. Run-length data uses
every escape: runs (at 4 bits also of two colours in turn), stored pixels
(odd counts padded), moves right and up over colour 0, ends of line, and an
early end of picture above which everything is colour 0. Indices at or past
the colour table's length are black. With the 12-byte header (OS/2 1.x) the
colour table holds 3 bytes an entry, and the rows are never run-length.

Usage: rle_bmp.py NAME ENCODING WIDTH HEIGHT SEED [HEADER_SIZE [TABLE_LENGTH]]
         ENCODING: rle8, rle4, or rgb1, rgb4, rgb8 (uncompressed, that many bits)
       rle_bmp.py NAME edge    (8 x 4: moves and runs past the edges)
writes NAME.bmp and NAME.ppm.
"""
import random
import struct
import sys


def bmp(bits, width, height, header_size, table, data, compression):
    if header_size == 12:
        info = struct.pack('<IHHHH', header_size, width, height, 1, bits)
        colours = b''.join(bytes((b, g, r)) for r, g, b in table)
    else:
        info = struct.pack('<IiiHHIIiiII', header_size, width, height, 1, bits, compression, len(data), 2835, 2835,
                           len(table), 0)
        info += bytes(header_size - len(info))
        colours = b''.join(bytes((b, g, r, 0)) for r, g, b in table)
    offset = 14 + header_size + len(colours)
    return b'BM' + struct.pack('<IHHI', offset + len(data), 0, 0, offset) + info + colours + data


def ppm(width, height, table, rows):  # rows bottom-up, as the BMP stores them
    black = (0, 0, 0)
    pixels = b''.join(bytes(table[i] if i < len(table) else black) for row in reversed(rows) for i in row)
    return b'P6\n%d %d\n255\n' % (width, height) + pixels


def stored(bits, values):
    if bits == 8:
        data = bytes(values)
    else:
        padded = values + [0] * (len(values) % 2)
        data = bytes(padded[i] << 4 | padded[i + 1] for i in range(0, len(padded), 2))
    return bytes((0, len(values))) + data + bytes(len(data) % 2)


def alternating(bits, row, x):
    """At 4 bits, how many pixels from x on take the colours of x and x + 1 in turn, as one run paints them."""
    n = 0
    while bits == 4 and x + n < len(row) and x + 1 < len(row) and n < 255 and row[x + n] == row[x + n % 2]:
        n += 1
    return n


def encode_row(bits, row):
    out, x = b'', 0
    while x < len(row):
        same = 1
        while x + same < len(row) and row[x + same] == row[x] and same < 255:
            same += 1
        if row[x] == 0 and same >= 3:
            out += bytes((0, 2, same, 0))
        elif same >= 2:
            out += bytes((same, row[x] * 17 if bits == 4 else row[x]))
        elif alternating(bits, row, x) >= 4:
            same = alternating(bits, row, x)
            out += bytes((same, row[x] << 4 | row[x + 1]))
        else:
            n = 1
            while x + n < len(row) and n < 255 and (x + n + 1 >= len(row) or row[x + n] != row[x + n + 1]) and \
                    alternating(bits, row, x + n) < 4:
                n += 1
            if n >= 3:
                out += stored(bits, row[x:x + n])
            else:
                n = 1
                out += bytes((1, row[x] * 17 if bits == 4 else row[x]))
        x += same if same >= 2 else n
    return out


def picture(bits, width, height, seed):
    rnd = random.Random(seed)
    colours = 1 << bits
    rows = []
    for y in range(height):
        row, kind = [], y % 4
        while len(row) < width:
            if kind == 1 and bits == 4 and rnd.random() < 0.3:
                row += [rnd.randrange(colours), rnd.randrange(colours)] * rnd.randrange(2, 20)
            elif kind == 1 and rnd.random() < 0.5:
                row += [rnd.randrange(colours)] * rnd.randrange(2, 40)
            elif rnd.random() < 0.2:
                row += [0] * rnd.randrange(1, 9)
            else:
                row.append(rnd.randrange(colours))
        rows.append(row[:width])
    rows[height // 3] = [0] * width  # crossed by a move up
    for y in range(height - 2, height):
        rows[y] = [0] * width  # never reached: the picture ends early
    return rows


def encode(bits, rows):
    data, y = b'', 0
    while any(any(row) for row in rows[y:]):
        if not any(rows[y]):
            data += bytes((0, 2, 0, 1))
        else:
            data += encode_row(bits, rows[y]) + bytes((0, 0))
        y += 1
    return data + bytes((0, 1))


def uncompressed(bits, rows):
    """The rows as they are, bottom-up, each padded to 4 bytes."""
    data = b''
    for row in rows:
        packed = 0
        for i in row:
            packed = packed << bits | i
        size = (len(row) * bits + 31) // 32 * 4
        data += (packed << (8 * size - len(row) * bits)).to_bytes(size, 'big')
    return data


def edge():
    """8 x 4, RLE8: a move past the right edge, a run across it, a move past the top."""
    table = [(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 255)]
    data = bytes((2, 1, 0, 2, 10, 0, 3, 2, 0, 0,  # two of colour 1, then off the row: dropped
                  12, 3, 0, 0,                     # 12 of colour 3 on a row of 8
                  0, 3, 2, 2, 2, 0,                # three stored pixels (padded)
                  0, 2, 0, 9, 5, 1))               # above the picture: nothing more is drawn
    rows = [[1, 1, 0, 0, 0, 0, 0, 0], [3] * 8, [2, 2, 2, 0, 0, 0, 0, 0], [0] * 8]
    return bmp(8, 8, 4, 40, table, data, 1), ppm(8, 4, table, rows)


def main(name, args):
    if args[0] == 'edge':
        image, expected = edge()
    else:
        encoding, bits = args[0][:3], int(args[0][3:])
        width, height, seed = (int(a) for a in args[1:4])
        header_size = int(args[4]) if len(args) > 4 else 40
        rnd = random.Random(seed + 1)
        entries = int(args[5]) if len(args) > 5 else 1 << bits
        table = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(entries)]
        rows = picture(bits, width, height, seed)
        if encoding == 'rle':
            data, compression = encode(bits, rows), 1 if bits == 8 else 2
        else:
            data, compression = uncompressed(bits, rows), 0
        image, expected = bmp(bits, width, height, header_size, table, data, compression), ppm(width, height, table, rows)
    with open(name + '.bmp', 'wb') as f:
        f.write(image)
    with open(name + '.ppm', 'wb') as f:
        f.write(expected)


main(sys.argv[1], sys.argv[2:])
