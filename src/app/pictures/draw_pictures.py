#!/usr/bin/env python3
"""Draws the window's pictures as 32x32 XPM files (16 colours at most), and
the closed padlock as the program's icon: PNG files at the sizes the icon
theme wants and an SVG.

Run from anywhere; it rewrites the files beside itself, the hand picture in
src/about/pictures and the icons in packaging/icons. The build embeds or
installs the results, so run it only after changing a drawing.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ABOUT = os.path.join(HERE, "..", "..", "about", "pictures")
ICONS = os.path.join(HERE, "..", "..", "..", "packaging", "icons")
ICON_SIZES = [16, 32, 48, 64, 128, 256]

# Grey levels, darkest first; "reversed" pictures swap them end for end.
GREYS = ["#202020", "#404040", "#606060", "#808080", "#A0A0A0", "#C0C0C0", "#E0E0E0", "#FFFFFF"]
NONE = -1
SIZE = 32


def blank():
    return [[NONE] * SIZE for _ in range(SIZE)]


def clamp_level(v):
    return max(0, min(len(GREYS) - 1, int(round(v))))


def draw_shackle(img, cx, cy, r_out, r_in, left_end, right_end):
    """A metal bar bent into a U: the upper half ring around (cx, cy), then two
    legs running down to left_end and right_end (pixel rows, exclusive)."""
    for y in range(SIZE):
        for x in range(SIZE):
            px, py = x + 0.5, y + 0.5
            if py <= cy:
                d = math.hypot(px - cx, py - cy)
                if not r_in <= d <= r_out:
                    continue
                t = (d - r_in) / (r_out - r_in)
            else:
                if cx - r_out <= px <= cx - r_in and py < left_end:
                    t = (cx - r_in - px) / (r_out - r_in)
                elif cx + r_in <= px <= cx + r_out and py < right_end:
                    t = (px - cx - r_in) / (r_out - r_in)
                else:
                    continue
            # Round bar: bright along its middle, dark at both edges.
            if t < 0.2 or t > 0.85:
                level = 1
            else:
                level = 6 - 4 * abs(t - 0.4) * 2
            img[y][x] = clamp_level(level)


def draw_body(img, left, top, right, bottom):
    """The lock's case with a keyhole; light from the top left."""
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            corner = (x in (left, right)) and (y in (top, bottom))
            if corner:
                continue
            if x in (left, right) or y in (top, bottom):
                img[y][x] = 1
                continue
            if x == left + 1 or y == top + 1:
                img[y][x] = 7
                continue
            if x == right - 1 or y == bottom - 1:
                img[y][x] = 3
                continue
            u = (x - left) / (right - left) + (y - top) / (bottom - top)
            img[y][x] = clamp_level(6 - u * 1.6)
    cx = (left + right + 1) / 2
    hole_y = top + (bottom - top) * 0.4
    for y in range(top + 2, bottom - 1):
        for x in range(left + 2, right - 1):
            px, py = x + 0.5, y + 0.5
            if math.hypot(px - cx, py - hole_y) <= 2.3 or (
                abs(px - cx) <= 1.0 and hole_y <= py <= hole_y + 6
            ):
                img[y][x] = 0


def closed_lock():
    img = blank()
    draw_shackle(img, 16.0, 11.0, 8.0, 4.6, 17, 17)
    draw_body(img, 4, 15, 27, 30)
    return img


def open_lock():
    img = blank()
    # Raised, with its free leg clear of the case.
    draw_shackle(img, 16.0, 8.0, 8.0, 4.6, 17, 11)
    draw_body(img, 4, 15, 27, 30)
    return img


def reversed_shades(img):
    top = len(GREYS) - 1
    return [[v if v == NONE else top - v for v in row] for row in img]


HAND = [
    "      ##",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..#",
    "     #..###",
    "     #..#..###",
    "     #..#..#..##",
    "     #..#..#..#.#",
    " ### #..#..#..#..#",
    " #..##........#..#",
    " #...#...........#",
    "  #..#...........#",
    "  #..............#",
    "   #.............#",
    "   #............#",
    "    #...........#",
    "    #..........#",
    "     #.........#",
    "     #.........#",
    "     ###########",
]
HAND_HOTSPOT = (7, 0)


def hand():
    img = blank()
    for y, row in enumerate(HAND):
        for x, ch in enumerate(row):
            if ch == "#":
                img[y][x] = 0
            elif ch == ".":
                img[y][x] = 7
    return img


def write_xpm(path, name, img, hotspot=None):
    used = sorted({v for row in img for v in row})
    keys = {}
    chars = " .+@#$%&*=-;>,')!"
    for i, v in enumerate(used):
        keys[v] = chars[i]
    assert len(used) <= 16
    header = f'"{SIZE} {SIZE} {len(used)} 1'
    if hotspot:
        header += f" {hotspot[0]} {hotspot[1]}"
    lines = ["/* XPM */", f"static const char *{name}[] = {{", header + '",']
    for v in used:
        colour = "None" if v == NONE else GREYS[v]
        lines.append(f'"{keys[v]} c {colour}",')
    rows = ['"' + "".join(keys[v] for v in row) + '"' for row in img]
    lines.append(",\n".join(rows))
    lines.append("};")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def rgb(level):
    return tuple(int(GREYS[level][i : i + 2], 16) for i in (1, 3, 5))


def scaled_rgba(img, size):
    """The picture as rows of RGBA bytes at size x size: each target pixel
    averages the grid squares it covers, as a renderer of the SVG would."""
    step = SIZE / size
    rows = []
    for ty in range(size):
        row = bytearray()
        for tx in range(size):
            x0, x1, y0, y1 = tx * step, (tx + 1) * step, ty * step, (ty + 1) * step
            acc, alpha = [0.0, 0.0, 0.0], 0.0
            for y in range(int(y0), min(SIZE, math.ceil(y1))):
                for x in range(int(x0), min(SIZE, math.ceil(x1))):
                    v = img[y][x]
                    if v == NONE:
                        continue
                    w = (min(x1, x + 1) - max(x0, x)) * (min(y1, y + 1) - max(y0, y))
                    alpha += w
                    for i, c in enumerate(rgb(v)):
                        acc[i] += c * w
            if alpha == 0:
                row += bytes(4)
            else:
                row += bytes(round(c / alpha) for c in acc)
                row.append(round(255 * alpha / (step * step)))
        rows.append(bytes(row))
    return rows


def write_png(path, rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    size = len(rows)
    raw = b"".join(b"\0" + row for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def write_svg(path, img):
    """One rectangle per run of equal grid squares in a row."""
    rects = []
    for y, row in enumerate(img):
        x = 0
        while x < SIZE:
            end = x
            while end < SIZE and row[end] == row[x]:
                end += 1
            if row[x] != NONE:
                rects.append(f'<rect x="{x}" y="{y}" width="{end - x}" height="1" fill="{GREYS[row[x]]}"/>')
            x = end
    with open(path, "w") as f:
        f.write(
            '<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32"'
            ' shape-rendering="crispEdges">\n'
        )
        f.write("\n".join(rects) + "\n</svg>\n")


def main():
    closed, opened = closed_lock(), open_lock()
    os.makedirs(ICONS, exist_ok=True)
    for size in ICON_SIZES:
        write_png(os.path.join(ICONS, f"grize-{size}.png"), scaled_rgba(closed, size))
    write_svg(os.path.join(ICONS, "grize.svg"), closed)
    write_xpm(os.path.join(HERE, "lock_closed.xpm"), "lock_closed", closed)
    write_xpm(os.path.join(HERE, "lock_closed_dark.xpm"), "lock_closed_dark", reversed_shades(closed))
    write_xpm(os.path.join(HERE, "lock_open.xpm"), "lock_open", opened)
    write_xpm(os.path.join(HERE, "lock_open_dark.xpm"), "lock_open_dark", reversed_shades(opened))
    write_xpm(os.path.join(ABOUT, "hand.xpm"), "hand", hand(), HAND_HOTSPOT)


if __name__ == "__main__":
    main()
