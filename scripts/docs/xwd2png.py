#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Turns an X window dump (xwd, 24/32 bits per pixel, as Xvfb writes it) into
# a PNG, optionally cut to a rectangle: what docs/screenshot.png is made with
# where ImageMagick is not installed.
#
#   xwd -root -silent | scripts/docs/xwd2png.py out.png [x y width height]
import struct
import sys
import zlib


def main():
    data = sys.stdin.buffer.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, _, width, height = fields[:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    if bits_per_pixel not in (24, 32):
        sys.exit(f"xwd2png: {bits_per_pixel} bits per pixel are not handled")
    step = bits_per_pixel // 8
    pixels = data[header_size + 12 * ncolors:]
    x, y, w, h = 0, 0, width, height
    if len(sys.argv) == 6:
        x, y, w, h = (int(v) for v in sys.argv[2:6])
    rows = []
    for row in range(y, y + h):
        line = pixels[row * bytes_per_line:(row + 1) * bytes_per_line]
        out = bytearray(b"\0")
        for col in range(x, x + w):
            p = line[col * step:col * step + step]
            b, g, r = (p[0], p[1], p[2]) if byte_order == 0 else (p[-1], p[-2], p[-3])
            out += bytes((r, g, b))
        rows.append(bytes(out))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(sys.argv[1], "wb") as f:
        f.write(png)


main()
