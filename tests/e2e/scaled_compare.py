#!/usr/bin/env python3
"""Compares the client area of KELVANOR's window in two raw RGB screenshots of one screen.

    scaled_compare.py SCREEN_WIDTH A.rgb AX AY SCALE_A B.rgb BX BY SCALE_B [SKIP_RECT]

(AX, AY) and (BX, BY) are the screen positions of client pixel (0, 0) in each shot, shown at
the given scales. Every client pixel must be shown as a SCALE x SCALE square of one colour,
and the two shots must show the same client picture. SKIP_RECT "left,top,right,bottom" (in
client pixels) leaves a part out of the second test; the script then also requires that part
to differ, which shows that a click there was acted on. Exits 1 with the first difference.
"""
import sys

WIDTH, HEIGHT = 792, 600


def client_picture(data, screen_width, left, top, scale):
    """The client picture as rows of 3-byte pixels, checking that each is a uniform square."""
    rows = []
    stride = screen_width * 3
    for y in range(HEIGHT):
        lines = [data[(top + y * scale + dy) * stride:(top + y * scale + dy + 1) * stride]
                 for dy in range(scale)]
        row = []
        for x in range(WIDTH):
            start = (left + x * scale) * 3
            pixel = lines[0][start:start + 3]
            square = pixel * scale
            for line in lines:
                if line[start:start + 3 * scale] != square:
                    sys.exit(f"client pixel {x},{y} is not a uniform {scale}x{scale} square")
            row.append(pixel)
        rows.append(row)
    return rows


def main():
    screen_width = int(sys.argv[1])
    a = client_picture(open(sys.argv[2], "rb").read(), screen_width, int(sys.argv[3]),
                       int(sys.argv[4]), int(sys.argv[5]))
    b = client_picture(open(sys.argv[6], "rb").read(), screen_width, int(sys.argv[7]),
                       int(sys.argv[8]), int(sys.argv[9]))
    skip = tuple(int(v) for v in sys.argv[10].split(",")) if len(sys.argv) > 10 else None
    changed = 0
    for y in range(HEIGHT):
        for x in range(WIDTH):
            inside = skip and skip[0] <= x < skip[2] and skip[1] <= y < skip[3]
            if inside:
                changed += a[y][x] != b[y][x]
            elif a[y][x] != b[y][x]:
                sys.exit(f"client pixel {x},{y}: {a[y][x].hex()} against {b[y][x].hex()}")
    if skip and changed == 0:
        sys.exit(f"nothing changed in {skip}")
    print(f"same client picture at scales {sys.argv[5]} and {sys.argv[9]}"
          + (f", {changed} pixels changed in {skip}" if skip else ""))


main()
