#!/usr/bin/env python3
"""Draws the program's icon: a page of text under a magnifying glass,
32 x 32 pixels in 16 colours, written as a Windows .ico file."""
import struct
import sys

# The standard 16-colour palette, as (blue, green, red, 0).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128), (128, 128, 0),
    (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255), (255, 0, 0),
    (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, NAVY, GREY, SILVER, BLUE, CYAN, WHITE, YELLOW = 0, 4, 8, 7, 12, 14, 15, 11
SIZE = 32


def draw():
    pixels = [[None] * SIZE for _ in range(SIZE)]  # None is transparent
    # The page, with a folded corner and lines of text.
    for y in range(2, 28):
        for x in range(4, 22):
            pixels[y][x] = WHITE
    for y in range(2, 28):
        pixels[y][4] = pixels[y][21] = BLACK
    for x in range(4, 22):
        pixels[2][x] = pixels[27][x] = BLACK
    for y in range(6, 25, 3):
        for x in range(7, 19 if y % 2 else 16):
            pixels[y][x] = GREY
    # The glass: a ring with a light lens, and a handle to the lower right.
    cx, cy, r_out, r_in = 17, 15, 8, 6
    for y in range(SIZE):
        for x in range(SIZE):
            d2 = (x - cx) ** 2 + (y - cy) ** 2
            if d2 <= r_in * r_in:
                pixels[y][x] = CYAN if (x - cx) + (y - cy) < -3 else (SILVER if pixels[y][x] == GREY else WHITE)
                if pixels[y][x] == WHITE and (x + y) % 7 == 0:
                    pixels[y][x] = SILVER
            elif d2 <= r_out * r_out:
                pixels[y][x] = NAVY
    for i in range(7):
        for w in range(-1, 2):
            x, y = 22 + i + w, 21 + i
            if 0 <= x < SIZE and 0 <= y < SIZE:
                pixels[y][x] = BLUE if w == 0 else NAVY
    return pixels


def ico(pixels):
    xor = b""
    mask = b""
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        row = pixels[y]
        for x in range(0, SIZE, 2):
            a, b = (row[x] or 0), (row[x + 1] or 0)
            xor += bytes([(a << 4) | b])
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (b, g, r) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22)
    return directory + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(ico(draw()))
