#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Converts an X window dump (xwd -silent, 24/32-bit TrueColor ZPixmap) into
a PNG, with the standard library alone (no ImageMagick on the test machines).

    xwd2png.py in.xwd out.png [x y width height]
"""
import struct
import sys
import zlib


def main():
    if len(sys.argv) not in (3, 7):
        sys.exit(__doc__)
    data = open(sys.argv[1], 'rb').read()
    if len(data) < 100:
        sys.exit('not an X window dump: too short')
    fields = struct.unpack('>25I', data[:100])
    header_size, version, fmt, depth, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if version != 7 or fmt != 2 or bits_per_pixel not in (24, 32) or depth not in (24, 32):
        sys.exit('unsupported dump: version %d format %d depth %d bpp %d' % (version, fmt, depth, bits_per_pixel))
    if not (0 < width <= 16384 and 0 < height <= 16384 and bytes_per_line >= width * bits_per_pixel // 8):
        sys.exit('unsupported dump: %d x %d, %d bytes a line' % (width, height, bytes_per_line))
    offset = header_size + ncolors * 12
    if len(data) < offset + bytes_per_line * height:
        sys.exit('truncated dump')
    x, y, w, h = 0, 0, width, height
    if len(sys.argv) == 7:
        x, y, w, h = (int(v) for v in sys.argv[3:7])
        x, y = max(0, x), max(0, y)
        w, h = min(w, width - x), min(h, height - y)
        if w <= 0 or h <= 0:
            sys.exit('the area is outside the dump')
    step = bits_per_pixel // 8
    rows = []
    for row in range(y, y + h):
        start = offset + row * bytes_per_line + x * step
        line = data[start:start + w * step]
        out = bytearray(w * 3)
        if byte_order == 0:  # LSBFirst: B G R [X]
            out[0::3], out[1::3], out[2::3] = line[2::step], line[1::step], line[0::step]
        else:  # MSBFirst: [X] R G B
            first = step - 3
            out[0::3], out[1::3], out[2::3] = line[first::step], line[first + 1::step], line[first + 2::step]
        rows.append(b'\0' + bytes(out))

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff)

    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b'')
    open(sys.argv[2], 'wb').write(png)


if __name__ == '__main__':
    main()
