#!/usr/bin/env python3
"""Draws the magnifying glass's two 32 x 32 monochrome cursors.

glass_round.cur (group 25000): a round lens outline, hot spot (14, 13).
glass_square.cur (group 25001): a square lens outline, hot spot (12, 11).
Both have a handle towards the lower right and a 2 x 2 dot at the hot
spot; black strokes get a white edge so they show on dark pictures.
Run from this directory: python3 make_cursors.py
"""
import struct

SIZE = 32


def handle(black, x0, y0):
    # A 3-pixel wide bar from (x0, y0) to the lower right corner.
    for i in range(SIZE):
        x, y = x0 + i, y0 + i
        if x > 29 or y > 29:
            break
        for dx, dy in ((0, 0), (1, 0), (0, 1), (1, 1), (-1, 0), (0, -1)):
            black.add((x + dx, y + dy))


def dot(black, hx, hy):
    black.update({(hx, hy), (hx + 1, hy), (hx, hy + 1), (hx + 1, hy + 1)})


def round_lens():
    hx, hy = 14, 13
    black = set()
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x + 0.5 - (hx + 1)) ** 2 + (y + 0.5 - (hy + 1)) ** 2
            if 8.0 ** 2 <= d2 <= 10.0 ** 2:
                black.add((x, y))
    handle(black, hx + 8, hy + 8)
    dot(black, hx, hy)
    return black, (hx, hy)


def square_lens():
    hx, hy = 12, 11
    black = set()
    left, top, right, bottom = hx - 8, hy - 8, hx + 9, hy + 9
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = x in (left, left + 1, right - 1, right) or y in (top, top + 1, bottom - 1, bottom)
            if edge:
                black.add((x, y))
    handle(black, right + 1, bottom + 1)
    dot(black, hx, hy)
    return black, (hx, hy)


def cursor_file(black, hot):
    white = set()
    for (x, y) in black:
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                p = (x + dx, y + dy)
                if p not in black and 0 <= p[0] < SIZE and 0 <= p[1] < SIZE:
                    white.add(p)
    xor_rows, and_rows = [], []
    for y in reversed(range(SIZE)):  # bottom-up rows
        xr = ar = 0
        for x in range(SIZE):
            bit = 1 << (31 - x)
            if (x, y) in white:
                xr |= bit  # AND 0, XOR 1: white
            elif (x, y) not in black:
                ar |= bit  # AND 1, XOR 0: transparent
        xor_rows.append(struct.pack('>I', xr))
        and_rows.append(struct.pack('>I', ar))
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    colours = struct.pack('<II', 0x000000, 0xFFFFFF)
    image = header + colours + b''.join(xor_rows) + b''.join(and_rows)
    directory = struct.pack('<HHH', 0, 2, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 2, 0, hot[0], hot[1], len(image), 6 + 16)
    return directory + entry + image


for name, draw in (('glass_round.cur', round_lens), ('glass_square.cur', square_lens)):
    black, hot = draw()
    with open(name, 'wb') as f:
        f.write(cursor_file(black, hot))
    rows = [''.join('#' if (x, y) in black else '.' for x in range(SIZE)) for y in range(SIZE)]
    print(name, 'hot spot', hot)
    print('\n'.join(rows))
