#!/usr/bin/env python3
"""Writes LED_PICS.bmp: the lamp pictures shared by every status lamp.

A 4-bit BMP, 24 x 52 pixels, cells of 12 x 13: column 0 unlit, column 1 lit;
rows red, green, yellow and the grey lamp of a disabled control. The colour of
the bottom-left pixel is the transparent colour, so every cell keeps its
corners and its top and bottom rows in that colour.

Run: python3 make_led_pics.py [output]  (default: LED_PICS.bmp beside this file)
"""

import math
import os
import struct
import sys

CELL_W, CELL_H = 12, 13
COLS, ROWS = 2, 4
WIDTH, HEIGHT = CELL_W * COLS, CELL_H * ROWS

PALETTE = [
    (255, 0, 255),  # 0 transparent key
    (48, 48, 48),  # 1 rim of an unlit lamp
    (255, 255, 255),  # 2 specular spot
    (150, 150, 150),  # 3 dull reflection on unlit glass
    (110, 0, 0),  # 4 red unlit
    (255, 0, 0),  # 5 red lit
    (255, 160, 160),  # 6 red glow
    (0, 90, 0),  # 7 green unlit
    (0, 230, 0),  # 8 green lit
    (170, 255, 170),  # 9 green glow
    (110, 110, 0),  # 10 yellow unlit
    (255, 230, 0),  # 11 yellow lit
    (255, 255, 170),  # 12 yellow glow
    (176, 176, 176),  # 13 grey body (disabled)
    (120, 120, 120),  # 14 grey rim (disabled)
    (0, 0, 0),  # 15 unused
]

# Per row: (unlit body, lit body, lit glow); the grey row looks the same in both columns.
LAMPS = [(4, 5, 6), (7, 8, 9), (10, 11, 12)]


def lamp_index(row, lit, x, y):
    """Palette index of pixel (x, y) inside a cell."""
    cx, cy, r = 5.5, 6.0, 5.6
    d = math.hypot(x - cx, y - cy) / r
    if d > 1.0 or y == 0 or y == CELL_H - 1:
        return 0
    # Reflections sit up and to the left of the centre.
    spot = math.hypot(x - 3.6, y - 3.8)
    if row == 3:
        if d > 0.8:
            return 14
        return 2 if spot < 1.0 else 13
    unlit, bright, glow = LAMPS[row]
    if not lit:
        if d > 0.8:
            return 1
        return 3 if spot < 1.0 else unlit
    if d > 0.8:
        return unlit
    if spot < 0.9:
        return 2
    if spot < 2.0:
        return glow
    return bright


def pixels():
    """Rows of palette indices, top row first."""
    out = []
    for y in range(HEIGHT):
        row, cy = divmod(y, CELL_H)
        line = []
        for x in range(WIDTH):
            col, cx = divmod(x, CELL_W)
            line.append(lamp_index(row, col == 1, cx, cy))
        out.append(line)
    return out


def bmp_bytes():
    stride = ((WIDTH * 4 + 31) // 32) * 4
    rows = []
    for line in reversed(pixels()):  # a BMP stores the bottom row first
        packed = bytearray()
        for i in range(0, WIDTH, 2):
            packed.append((line[i] << 4) | line[i + 1])
        packed.extend(b"\0" * (stride - len(packed)))
        rows.append(bytes(packed))
    image = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(image), 2835, 2835, 16, 0)
    return header + info + palette + image


def main():
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "LED_PICS.bmp")
    with open(target, "wb") as f:
        f.write(bmp_bytes())


if __name__ == "__main__":
    main()
