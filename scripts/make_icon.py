#!/usr/bin/env python3
"""Draws the program icon (a printer receiving a download arrow) as XPM text,
or with --svg as the same pixels in SVG, for the desktop's icon theme.

Run once and commit the output; the build embeds resources/icon/quillet.xpm
and the package installs resources/icon/quillet.svg.
    scripts/make_icon.py > resources/icon/quillet.xpm
    scripts/make_icon.py --svg > resources/icon/quillet.svg
"""

import sys

SIZE = 32
PALETTE = {
    ".": "None",      # transparent
    "k": "#202020",   # outline
    "g": "#9aa3ad",   # printer body
    "d": "#5f6873",   # body shade
    "w": "#ffffff",   # paper
    "l": "#c9d2dc",   # paper lines
    "a": "#1f8a3a",   # arrow
    "A": "#4fc16a",   # arrow highlight
    "y": "#f2c200",   # status LED
}

grid = [["."] * SIZE for _ in range(SIZE)]


def rect(x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            grid[y][x] = c


def frame(x0, y0, x1, y1, c):
    for x in range(x0, x1 + 1):
        grid[y0][x] = grid[y1][x] = c
    for y in range(y0, y1 + 1):
        grid[y][x0] = grid[y][x1] = c


# Paper in the feeder, behind the body.
rect(9, 3, 22, 14, "w")
frame(9, 3, 22, 14, "k")
for y in (6, 8, 10):
    rect(11, y, 20, y, "l")

# Printer body with a darker lower half and the output slot.
rect(3, 13, 28, 25, "g")
rect(3, 21, 28, 25, "d")
frame(3, 13, 28, 25, "k")
rect(7, 21, 24, 21, "k")
rect(24, 16, 25, 17, "y")

# Paper leaving the slot.
rect(8, 22, 23, 27, "w")
frame(8, 22, 23, 27, "k")

# Download arrow on the left of the paper feeder.
rect(4, 2, 6, 8, "a")
rect(5, 2, 5, 8, "A")
for i, half in enumerate((3, 2, 1, 0)):
    rect(5 - half, 8 + i, 5 + half, 8 + i, "a")


def print_xpm():
    print("/* XPM */")
    print("static const char* quillet_icon[] = {")
    print(f'"{SIZE} {SIZE} {len(PALETTE)} 1",')
    for key, colour in PALETTE.items():
        print(f'"{key} c {colour}",')
    rows = ["".join(row) for row in grid]
    print(",\n".join(f'"{row}"' for row in rows))
    print("};")


def print_svg():
    # One rectangle per run of a colour in a row; crisp edges keep the pixels
    # sharp at every size the desktop draws it.
    print('<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
          f'viewBox="0 0 {SIZE} {SIZE}" shape-rendering="crispEdges">')
    for y, row in enumerate(grid):
        x = 0
        while x < SIZE:
            end = x
            while end < SIZE and row[end] == row[x]:
                end += 1
            if PALETTE[row[x]] != "None":
                print(f'<rect x="{x}" y="{y}" width="{end - x}" height="1" '
                      f'fill="{PALETTE[row[x]]}"/>')
            x = end
    print("</svg>")


if sys.argv[1:] == ["--svg"]:
    print_svg()
else:
    print_xpm()
