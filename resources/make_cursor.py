#!/usr/bin/env python3
"""Writes HAND-M.CUR: a 32x32 pointing hand in the Windows cursor format.

The file is a cursor directory (type 2) with one image: a 32-bit BMP without file header,
twice the height (colour rows, then the 1-bit AND mask), rows bottom-up. The hot spot is
the tip of the index finger.
"""
import struct
import sys

# '#' outline, '.' fill, ' ' transparent.
HAND = [
    "      ##                        ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..#                       ",
    "     #..###                     ",
    "     #..#..###                  ",
    "     #..#..#..##                ",
    "     #..#..#..#.#               ",
    " ### #..#..#..#..#              ",
    " #..##........#..#              ",
    " #...#...........#              ",
    "  #..#...........#              ",
    "   #.............#              ",
    "   #.............#              ",
    "    #............#              ",
    "    #...........#               ",
    "     #..........#               ",
    "     #.........#                ",
    "      #........#                ",
    "      #........#                ",
    "      ##########                ",
]
SIZE = 32
HOT_SPOT = (6, 0)
OUTLINE = (0, 0, 0, 255)
FILL = (255, 255, 255, 255)


def pixel(x, y):
    row = HAND[y] if y < len(HAND) else ""
    c = row[x] if x < len(row) else " "
    return {"#": OUTLINE, ".": FILL}.get(c)


def build():
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            p = pixel(x, y)
            if p is None:
                colour += bytes(4)
                bits |= 1 << (SIZE - 1 - x)
            else:
                r, g, b, a = p
                colour += bytes((b, g, r, a))
        mask += struct.pack(">I", bits)  # 32 pixels, one row already 4-byte aligned
    image = header + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT_SPOT[0], HOT_SPOT[1], len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "HAND-M.CUR"
    with open(out, "wb") as f:
        f.write(build())
