#!/usr/bin/env python3
"""Writes the tray icon of installer.exe: one 32 x 32 image at 8 bits per
pixel (256-colour palette), drawn here: a blue rounded square with a white
"V" and a green arrow pointing down. Usage: make_tray_icon.py OUT.ico"""
import struct
import sys

SIZE = 32
TRANSPARENT, BLUE, DARK, WHITE, GREEN = 0, 1, 2, 3, 4
PALETTE = {TRANSPARENT: (0, 0, 0), BLUE: (0x1f, 0x5f, 0xbf), DARK: (0x10, 0x30, 0x70),
           WHITE: (0xff, 0xff, 0xff), GREEN: (0x2f, 0xb0, 0x40)}


def inside_rounded_square(x, y, radius=6, inset=1):
    lo, hi = inset, SIZE - 1 - inset
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def on_v(x, y):
    # Two strokes from the top corners meeting at the bottom middle.
    if not 6 <= y <= 21:
        return False
    t = (y - 6) / 15.0
    left = 6 + t * 9
    right = 25 - t * 9
    return abs(x - left) <= 1.6 or abs(x - right) <= 1.6


def on_arrow(x, y):
    if 22 <= y <= 24 and 14 <= x <= 17:
        return True
    return 25 <= y <= 28 and abs(x - 15.5) <= 28 - y + 0.5


def pixel(x, y):
    if not inside_rounded_square(x, y):
        return TRANSPARENT
    if on_arrow(x, y):
        return GREEN
    if on_v(x, y):
        return WHITE
    if not inside_rounded_square(x, y, radius=5, inset=2):
        return DARK
    return BLUE


def build():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(struct.pack("<BBBB", *reversed(PALETTE.get(i, (0, 0, 0))), 0) for i in range(256))
    xor = b"".join(bytes(rows[y]) for y in reversed(range(SIZE)))   # bottom-up rows
    and_rows = []
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if rows[y][x] == TRANSPARENT else 0)
        and_rows.append(struct.pack(">I", bits))                     # 32 bits: already 4-byte aligned
    image = header + palette + xor + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(build())
