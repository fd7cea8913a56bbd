#!/usr/bin/env python3
"""The same uncompressed BMP with its rows stored top row first (a negative
height), which neither ImageMagick 6 nor netpbm writes.

Usage: top_down_bmp.py IN.bmp OUT.bmp
"""
import struct
import sys

data = bytearray(open(sys.argv[1], 'rb').read())
at, = struct.unpack_from('<I', data, 10)
width, height, _, bits, compression = struct.unpack_from('<iiHHI', data, 18)
if height <= 0 or compression not in (0, 3):
    sys.exit('top_down_bmp.py: %s is not a bottom-up uncompressed BMP' % sys.argv[1])
stride = (width * bits + 31) // 32 * 4
rows = [data[at + i * stride:at + (i + 1) * stride] for i in range(height)]
data[at:at + height * stride] = b''.join(reversed(rows))
struct.pack_into('<i', data, 22, -height)
open(sys.argv[2], 'wb').write(data)
