#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# Reads an X window dump (xwd, ZPixmap, 24 or 32 bits per pixel) and tells
# what a rectangle of it shows, for the end-to-end tests that look at pixels
# (the tray icon). One line, "key=value" pairs:
#   colours  the number of different colours in the rectangle
#   top      the share (0..1) of its most common colour
#   around   the colour of the pixel given by --around (hex RRGGBB)
#   same     the share of the rectangle's pixels that have that colour
#   edge     the share of the pixels of its first and last rows that have that
#            colour
#   pairs    the share of pixel pairs (2k, 2k+1) in a row that are equal,
#            over the pixels not of that colour (a picture drawn at half the
#            size and doubled has all of them equal)
#
#   xwd_region.py dump.xwd X Y W H [--around X Y]
# Exit code 2 with a message when the dump cannot be read or the rectangle
# lies outside it.
import struct
import sys


def fail(message):
    print(f"xwd_region: {message}", file=sys.stderr)
    sys.exit(2)


def main(argv):
    if len(argv) not in (6, 9) or (len(argv) == 9 and argv[6] != "--around"):
        fail("usage: xwd_region.py dump.xwd X Y W H [--around X Y]")
    try:
        with open(argv[1], "rb") as f:
            data = f.read()
        x0, y0, w, h = (int(v) for v in argv[2:6])
        around = (int(argv[7]), int(argv[8])) if len(argv) == 9 else None
    except (OSError, ValueError) as e:
        fail(str(e))
    if len(data) < 100:
        fail("not an X window dump: shorter than its header")
    header = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format = header[0], header[1], header[2]
    width, height, byte_order = header[4], header[5], header[7]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        fail(f"unsupported dump: version {version}, format {pixmap_format}, {bits_per_pixel} bits per pixel")
    offset = header_size + ncolors * 12
    if offset + bytes_per_line * height > len(data):
        fail("the dump is shorter than its header says")
    step = bits_per_pixel // 8
    order = "big" if byte_order == 1 else "little"

    def pixel(x, y):
        i = offset + y * bytes_per_line + x * step
        return int.from_bytes(data[i:i + step], order) & 0xFFFFFF

    for x, y in [(x0, y0), (x0 + w - 1, y0 + h - 1)] + ([around] if around else []):
        if not (0 <= x < width and 0 <= y < height) or w <= 0 or h <= 0:
            fail(f"({x}, {y}) lies outside the {width}x{height} dump")
    rows = [[pixel(x, y) for x in range(x0, x0 + w)] for y in range(y0, y0 + h)]
    counts = {}
    for row in rows:
        for v in row:
            counts[v] = counts.get(v, 0) + 1
    total = w * h
    out = [f"colours={len(counts)}", f"top={max(counts.values()) / total:.3f}"]
    if around:
        bg = pixel(*around)
        border = rows[0] + rows[-1]
        pairs = [(r[i], r[i + 1]) for r in rows for i in range(0, w - 1, 2) if r[i] != bg or r[i + 1] != bg]
        out += [f"around={bg:06x}", f"same={counts.get(bg, 0) / total:.3f}",
                f"edge={sum(v == bg for v in border) / len(border):.3f}",
                f"pairs={sum(a == b for a, b in pairs) / len(pairs):.3f}" if pairs else "pairs=0"]
    print(" ".join(out))


if __name__ == "__main__":
    main(sys.argv)
