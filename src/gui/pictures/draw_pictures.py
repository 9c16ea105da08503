#!/usr/bin/env python3
"""Draws the window's pictures as 32x32 XPM files (16 colours at most), and
each again at 64x64 as NAME@2x.xpm for screens with twice the pixel density,
and the closed padlock as the program's icon: PNG files at the sizes the icon
theme wants, an SVG, and a Windows .ico.

Run from anywhere; it rewrites the files beside itself, the hand picture in
src/gui/about/pictures and the icons in packaging/icons. The build embeds or
installs the results, so run it only after changing a drawing.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ABOUT = os.path.join(HERE, "..", "about", "pictures")
ICONS = os.path.join(HERE, "..", "..", "..", "packaging", "icons")
ICON_SIZES = [16, 32, 48, 64, 128, 256]

# Grey levels, darkest first; "reversed" pictures swap them end for end.
GREYS = ["#202020", "#404040", "#606060", "#808080", "#A0A0A0", "#C0C0C0", "#E0E0E0", "#FFFFFF"]
NONE = -1
SIZE = 32


def blank(s):
    return [[NONE] * (SIZE * s) for _ in range(SIZE * s)]


def clamp_level(v):
    return max(0, min(len(GREYS) - 1, int(round(v))))


def draw_shackle(img, s, cx, cy, r_out, r_in, left_end, right_end):
    """A metal bar bent into a U: the upper half ring around (cx, cy), then two
    legs running down to left_end and right_end (pixel rows at 1x, exclusive).
    Measures are given at 1x; s is the scale drawn at."""
    for y in range(SIZE * s):
        for x in range(SIZE * s):
            px, py = (x + 0.5) / s, (y + 0.5) / s
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


def draw_body(img, s, left, top, right, bottom):
    """The lock's case with a keyhole; light from the top left. Edges are
    pixel columns and rows at 1x (inclusive); every 1x pixel becomes s by s,
    so the outlines keep their width and only the curves get finer."""
    for y in range(top * s, (bottom + 1) * s):
        for x in range(left * s, (right + 1) * s):
            # The 1x pixel this one belongs to.
            bx, by = x // s, y // s
            corner = (bx in (left, right)) and (by in (top, bottom))
            if corner:
                continue
            if bx in (left, right) or by in (top, bottom):
                img[y][x] = 1
                continue
            if bx == left + 1 or by == top + 1:
                img[y][x] = 7
                continue
            if bx == right - 1 or by == bottom - 1:
                img[y][x] = 3
                continue
            u = (x / s - left) / (right - left) + (y / s - top) / (bottom - top)
            img[y][x] = clamp_level(6 - u * 1.6)
    cx = (left + right + 1) / 2
    hole_y = top + (bottom - top) * 0.4
    for y in range((top + 2) * s, (bottom - 1) * s):
        for x in range((left + 2) * s, (right - 1) * s):
            px, py = (x + 0.5) / s, (y + 0.5) / s
            if math.hypot(px - cx, py - hole_y) <= 2.3 or (
                abs(px - cx) <= 1.0 and hole_y <= py <= hole_y + 6
            ):
                img[y][x] = 0


def closed_lock(s):
    img = blank(s)
    draw_shackle(img, s, 16.0, 11.0, 8.0, 4.6, 17, 17)
    draw_body(img, s, 4, 15, 27, 30)
    return img


def open_lock(s):
    img = blank(s)
    # Raised, with its free leg clear of the case.
    draw_shackle(img, s, 16.0, 8.0, 8.0, 4.6, 17, 11)
    draw_body(img, s, 4, 15, 27, 30)
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


def hand(s):
    """The pointing hand; a pixel-art drawing, so at 2x each pixel is doubled
    (sharp, never smoothed)."""
    img = blank(s)
    for y, row in enumerate(HAND):
        for x, ch in enumerate(row):
            if ch == " ":
                continue
            for dy in range(s):
                for dx in range(s):
                    img[y * s + dy][x * s + dx] = 0 if ch == "#" else 7
    return img


def write_xpm(path, name, img, hotspot=None):
    used = sorted({v for row in img for v in row})
    keys = {}
    chars = " .+@#$%&*=-;>,')!"
    for i, v in enumerate(used):
        keys[v] = chars[i]
    assert len(used) <= 16
    size = len(img)
    header = f'"{size} {size} {len(used)} 1'
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


def write_ico(path, images):
    """images: (size, rows) pairs. Small sizes as 32-bit bitmaps, which every
    Windows reads; 256 as PNG, as Windows expects at that size."""
    entries = []
    for size, rows in images:
        if size >= 256:
            tmp = path + ".png"
            write_png(tmp, rows)
            with open(tmp, "rb") as f:
                data = f.read()
            os.remove(tmp)
        else:
            mask_stride = ((size + 31) // 32) * 4
            header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
            pixels = bytearray()
            for row in reversed(rows):
                for x in range(size):
                    r, g, b, a = row[4 * x : 4 * x + 4]
                    pixels += bytes((b, g, r, a))
            data = header + bytes(pixels) + bytes(mask_stride * size)
        entries.append((size, data))
    offset = 6 + 16 * len(entries)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(entries)))
        for size, data in entries:
            f.write(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset))
            offset += len(data)
        for _, data in entries:
            f.write(data)


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
    for s, suffix in ((1, ""), (2, "@2x")):
        closed, opened = closed_lock(s), open_lock(s)
        for name, img in (
            ("lock_closed", closed),
            ("lock_closed_dark", reversed_shades(closed)),
            ("lock_open", opened),
            ("lock_open_dark", reversed_shades(opened)),
        ):
            write_xpm(os.path.join(HERE, name + suffix + ".xpm"), name, img)
        write_xpm(os.path.join(ABOUT, "hand" + suffix + ".xpm"), "hand", hand(s),
                  (HAND_HOTSPOT[0] * s, HAND_HOTSPOT[1] * s))
    closed = closed_lock(1)
    os.makedirs(ICONS, exist_ok=True)
    for size in ICON_SIZES:
        write_png(os.path.join(ICONS, f"grize-{size}.png"), scaled_rgba(closed, size))
    write_svg(os.path.join(ICONS, "grize.svg"), closed)
    write_ico(os.path.join(ICONS, "grize.ico"), [(n, scaled_rgba(closed, n)) for n in (16, 32, 48, 256)])


if __name__ == "__main__":
    main()
