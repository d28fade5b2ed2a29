#!/usr/bin/env python3
"""Regenerates the program's pictures from this source: banner.bmp (bitmap 102, 464 x 71, 24 bits
per pixel) and brovink.ico (icon group 103: 32 x 32 and 16 x 16, each in 256 and in 16 colours).
Standard library only; the output is byte-for-byte reproducible. Run from anywhere:

    python3 resources/make_pictures.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# ---- a small pixel font: 9 rows (7 above the baseline, 2 below), '#' is ink -----------------------
GLYPHS = {
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####.", ".....", "....."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#", ".....", "....."],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####.", ".....", "....."],
    "c": ["....", "....", ".###", "#...", "#...", "#...", ".###", "....", "...."],
    "e": ["....", "....", ".##.", "#..#", "####", "#...", ".###", "....", "...."],
    "g": ["....", "....", ".###", "#..#", "#..#", "#..#", ".###", "...#", ".##."],
    "h": ["#...", "#...", "###.", "#..#", "#..#", "#..#", "#..#", "....", "...."],
    "i": ["#", ".", "#", "#", "#", "#", "#", ".", "."],
    "k": ["#...", "#...", "#..#", "#.#.", "##..", "#.#.", "#..#", "....", "...."],
    "n": ["....", "....", "###.", "#..#", "#..#", "#..#", "#..#", "....", "...."],
    "o": ["....", "....", ".##.", "#..#", "#..#", "#..#", ".##.", "....", "...."],
    "r": ["....", "....", "#.##", "##..", "#...", "#...", "#...", "....", "...."],
    "s": ["....", "....", ".###", "#...", ".##.", "...#", "###.", "....", "...."],
    "t": [".#.", ".#.", "###", ".#.", ".#.", ".#.", "..#", "...", "..."],
    "u": ["....", "....", "#..#", "#..#", "#..#", "#..#", ".###", "....", "...."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#..", ".....", "....."],
    "y": ["....", "....", "#..#", "#..#", "#..#", "#..#", ".###", "...#", ".##."],
    ":": [".", ".", ".", "#", ".", ".", "#", ".", "."],
    " ": ["...", "...", "...", "...", "...", "...", "...", "...", "..."],
}


def text_mask(text):
    """The text as rows of 0/1, one blank column between letters."""
    rows = [[] for _ in range(9)]
    for index, ch in enumerate(text):
        glyph = GLYPHS[ch]
        for r in range(9):
            if index:
                rows[r].append(0)
            rows[r].extend(1 if c == "#" else 0 for c in glyph[r])
    return rows


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def mask(self, rows, left, top, scale, colour):
        for r, row in enumerate(rows):
            for c, ink in enumerate(row):
                if ink:
                    self.rect(left + c * scale, top + r * scale, left + (c + 1) * scale, top + (r + 1) * scale, colour)


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


# ---- the registry motif: four blocks, as the hives of one registry ------------------------------
BLUE, LIGHT_BLUE, GREEN, ORANGE = (31, 95, 168), (86, 156, 224), (52, 160, 84), (232, 140, 30)
OUTLINE, WHITE = (16, 32, 56), (255, 255, 255)


# The 16-colour icons take the nearest colours of the standard palette, chosen by eye.
SIXTEEN = {LIGHT_BLUE: (0, 0, 255), BLUE: (0, 0, 128), GREEN: (0, 128, 0), ORANGE: (255, 255, 0),
           OUTLINE: (0, 0, 0)}


def block(canvas, x, y, size, colour, sixteen):
    """One block with a dark outline and a lighter top edge."""
    highlight = WHITE if sixteen else mix(colour, WHITE, 0.45)
    outline = SIXTEEN[OUTLINE] if sixteen else OUTLINE
    fill = SIXTEEN[colour] if sixteen else colour
    canvas.rect(x, y, x + size, y + size, outline)
    canvas.rect(x + 1, y + 1, x + size - 1, y + size - 1, fill)
    canvas.rect(x + 1, y + 1, x + size - 1, y + 1 + max(1, size // 6), highlight)


def blocks(canvas, places, left, top, size, gap, sixteen=False):
    """Blocks at (column, row) places in units of size + gap."""
    for column, row, colour in places:
        block(canvas, left + round(column * (size + gap)), top + round(row * (size + gap)), size, colour, sixteen)


# Banner: three blocks in an L and a fourth lifted off to the upper right. Icon: a plain 2 x 2.
BANNER_BLOCKS = [(1.25, -0.3, ORANGE), (0, 0.6, BLUE), (1, 0.6, LIGHT_BLUE), (0, 1.6, GREEN)]
ICON_BLOCKS = [(0, 0, LIGHT_BLUE), (1, 0, ORANGE), (0, 1, BLUE), (1, 1, GREEN)]


# ---- banner: 464 x 71, true colour ---------------------------------------------------------------
def banner():
    width, height = 464, 71
    top_colour, bottom_colour = (18, 53, 91), (40, 96, 150)
    canvas = Canvas(width, height, top_colour)
    for y in range(height):
        canvas.rect(0, y, width, y + 1, mix(top_colour, bottom_colour, y / (height - 1)))
    canvas.rect(0, height - 3, width, height, ORANGE)  # accent line along the bottom edge
    blocks(canvas, BANNER_BLOCKS, 18, 12, 17, 3)
    rows = text_mask("Brovink: Registry Sicherung")
    scale, left, top = 3, 72, 21
    canvas.mask(rows, left + 2, top + 2, scale, (10, 28, 48))  # shadow
    canvas.mask(rows, left, top, scale, WHITE)
    return canvas


def bmp_bytes(canvas):
    row_size = (canvas.width * 3 + 3) // 4 * 4
    data = bytearray()
    for y in reversed(range(canvas.height)):  # bottom-up
        row = bytearray()
        for r, g, b in canvas.pixels[y]:
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        data += row
    header = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(data), 0, 0, 14 + len(header))
    return file_header + header + data


# ---- icon: 32 x 32 and 16 x 16, 256 and 16 colours -----------------------------------------------
VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
         (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
         (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CLEAR = None


def icon_picture(size, sixteen):
    canvas = Canvas(size, size, CLEAR)
    if size == 32:
        blocks(canvas, ICON_BLOCKS, 1, 1, 14, 2, sixteen)
    else:
        blocks(canvas, ICON_BLOCKS, 0, 0, 7, 1, sixteen)
    return canvas


def nearest(colour, palette):
    return min(range(len(palette)), key=lambda i: sum((colour[k] - palette[i][k]) ** 2 for k in range(3)))


def icon_image(canvas, bits):
    if bits == 4:
        palette = VGA16
    else:
        palette = sorted({p for row in canvas.pixels for p in row if p is not CLEAR})
        palette += [(0, 0, 0)] * (256 - len(palette))
    size = canvas.width
    xor_row = (size * bits + 31) // 32 * 4
    and_row = (size + 31) // 32 * 4
    xor, mask = bytearray(), bytearray()
    for y in reversed(range(size)):
        indices = [0 if p is CLEAR else nearest(p, palette) for p in canvas.pixels[y]]
        row = bytearray()
        if bits == 8:
            row += bytes(indices)
        else:
            for x in range(0, size, 2):
                row.append(indices[x] << 4 | indices[x + 1])
        xor += row + b"\0" * (xor_row - len(row))
        transparent = bytearray(and_row)
        for x, p in enumerate(canvas.pixels[y]):
            if p is CLEAR:
                transparent[x // 8] |= 0x80 >> (x % 8)
        mask += transparent
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0, 0, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + colours + xor + mask


def ico_bytes():
    images = []
    for size in (32, 16):
        for bits in (8, 4):
            images.append((size, bits, icon_image(icon_picture(size, bits == 4), bits)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries, data = b"", b""
    for size, bits, image in images:
        entries += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits, len(image), offset)
        offset += len(image)
        data += image
    return directory + entries + data


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)


if __name__ == "__main__":
    write("banner.bmp", bmp_bytes(banner()))
    write("brovink.ico", ico_bytes())
