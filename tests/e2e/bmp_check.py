#!/usr/bin/env python3
"""Checks a screenshot of the main window: a 24-bit bottom-up BMP with 54 bytes of headers,
whose waterfall area (784 x 500 at (1, 1) of the client area, below the menu bar) shows an
image rather than one flat colour.

usage: bmp_check.py FILE [--min-colours N]
"""
import struct
import sys


def main():
    path = sys.argv[1]
    min_colours = int(sys.argv[sys.argv.index("--min-colours") + 1]) if "--min-colours" in sys.argv else 20
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        sys.exit(f"{path}: not a BMP")
    size, _, offset, header, width, height, planes, bits = struct.unpack("<IIIIiiHH", data[2:30])
    if offset != 54 or header != 40 or bits != 24 or size != len(data):
        sys.exit(f"{path}: unexpected headers {offset} {header} {bits} {size}/{len(data)}")
    row = (width * 3 + 3) // 4 * 4
    if len(data) != 54 + row * height:
        sys.exit(f"{path}: pixel data size does not match {width} x {height}")
    menu_bar = height - 600  # the client area is the bottom 600 rows
    colours = set()
    for y in range(menu_bar + 1, menu_bar + 501, 5):
        start = 54 + (height - 1 - y) * row
        for x in range(1, 785, 5):
            colours.add(data[start + 3 * x:start + 3 * x + 3])
    print(f"{path}: {width} x {height}, {len(colours)} colours in the waterfall area")
    if len(colours) < min_colours:
        sys.exit(f"{path}: the waterfall looks blank")


if __name__ == "__main__":
    main()
