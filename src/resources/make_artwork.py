#!/usr/bin/env python3
"""Draws the program's pictures: the tag check boxes, the column header
picture, the ten toolbar buttons, the program icon and the demo project's
logo.bmp. Run from anywhere; writes next to this script and into
samples/demo/. Plain Python, no imaging library."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREY = (192, 192, 192)
DARK = (128, 128, 128)
NAVY = (0, 0, 128)
GREEN = (0, 128, 0)
RED = (200, 0, 0)
TEAL = (0, 128, 128)
NONE = None  # transparent


class Canvas:
    def __init__(self, w, h, fill=NONE):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def hline(self, x0, x1, y, c):
        self.rect(x0, y, x1, y, c)

    def vline(self, x, y0, y1, c):
        self.rect(x, y0, x, y1, c)

    def line(self, x0, y0, x1, y1, c):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            self.set(round(x0 + (x1 - x0) * i / n), round(y0 + (y1 - y0) * i / n), c)

    def triangle_up(self, cx, top, half, c):
        for i in range(half + 1):
            self.hline(cx - i, cx + i, top + i, c)

    def triangle_down(self, cx, bottom, half, c):
        for i in range(half + 1):
            self.hline(cx - i, cx + i, bottom - i, c)

    def circle(self, cx, cy, r, c, thick=1.0):
        for y in range(self.h):
            for x in range(self.w):
                d = ((x - cx) ** 2 + (y - cy) ** 2) ** 0.5
                if r - thick <= d <= r:
                    self.set(x, y, c)


def write_png(path, canvas):
    raw = bytearray()
    for row in canvas.px:
        raw.append(0)
        for c in row:
            raw.extend((0, 0, 0, 0) if c is None else (c[0], c[1], c[2], 255))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def check_box(checked):
    c = Canvas(15, 15, WHITE)
    c.hline(0, 14, 0, DARK)
    c.vline(0, 0, 14, DARK)
    c.hline(1, 13, 1, BLACK)
    c.vline(1, 1, 13, BLACK)
    c.hline(0, 14, 14, WHITE)
    c.vline(14, 0, 14, WHITE)
    c.hline(1, 13, 13, GREY)
    c.vline(13, 1, 13, GREY)
    if checked:
        for dx in range(3):
            c.line(4, 6 + dx, 6, 8 + dx, BLACK)
            c.line(6, 8 + dx, 10, 4 + dx, BLACK)
    return c


def title_picture():
    c = Canvas(15, 15, GREY)
    c.hline(0, 14, 0, WHITE)
    c.vline(0, 0, 14, WHITE)
    c.hline(0, 14, 14, DARK)
    c.vline(14, 0, 14, DARK)
    for dx in range(2):
        c.line(3, 7 + dx, 5, 9 + dx, NAVY)
        c.line(5, 9 + dx, 11, 3 + dx, NAVY)
    return c


def button(draw):
    c = Canvas(16, 15, NONE)
    draw(c)
    return c


def bar_top(c):
    c.rect(2, 1, 13, 2, NAVY)
    c.triangle_up(7, 4, 5, NAVY)
    c.rect(6, 9, 9, 13, NAVY)


def bar_bottom(c):
    c.rect(2, 12, 13, 13, NAVY)
    c.triangle_down(7, 10, 5, NAVY)
    c.rect(6, 1, 9, 5, NAVY)


def section(up):
    def draw(c):
        # a page with a folded corner and an arrow
        c.rect(1, 1, 8, 13, WHITE)
        c.hline(1, 8, 1, BLACK)
        c.hline(1, 8, 13, BLACK)
        c.vline(1, 1, 13, BLACK)
        c.vline(8, 1, 13, BLACK)
        for y in (4, 6, 8, 10):
            c.hline(3, 6, y, DARK)
        if up:
            c.triangle_up(12, 2, 3, GREEN)
            c.rect(11, 6, 13, 12, GREEN)
        else:
            c.triangle_down(12, 12, 3, GREEN)
            c.rect(11, 2, 13, 8, GREEN)
    return draw


def file_button(up):
    def draw(c):
        # a stack of two disks' worth of files: a drum
        c.rect(1, 3, 9, 12, TEAL)
        c.hline(2, 8, 2, TEAL)
        c.hline(2, 8, 13, TEAL)
        c.hline(2, 8, 5, WHITE)
        c.hline(2, 8, 9, WHITE)
        if up:
            c.triangle_up(13, 1, 2, RED)
            c.triangle_up(13, 5, 2, RED)
            c.rect(12, 8, 14, 13, RED)
        else:
            c.triangle_down(13, 13, 2, RED)
            c.triangle_down(13, 9, 2, RED)
            c.rect(12, 1, 14, 6, RED)
    return draw


def tag_button(up):
    def draw(c):
        box = check_box(True)
        for y in range(11):
            for x in range(11):
                v = box.px[2 + y][2 + x] if x < 11 and y < 11 else None
                c.set(x, (4 if up else 0) + y, v)
        c.rect(0, 4 if up else 0, 10, 4 if up else 0, BLACK)
        if up:
            c.triangle_up(13, 0, 2, NAVY)
            c.rect(12, 3, 14, 6, NAVY)
        else:
            c.triangle_down(13, 14, 2, NAVY)
            c.rect(12, 8, 14, 11, NAVY)
    return draw


def tagged_items(c):
    for i, y in enumerate((1, 6, 11)):
        c.rect(0, y, 3, y + 3, WHITE)
        c.hline(0, 3, y, BLACK)
        c.hline(0, 3, y + 3, BLACK)
        c.vline(0, y, y + 3, BLACK)
        c.vline(3, y, y + 3, BLACK)
        c.set(1, y + 1, NAVY)
        c.set(2, y + 2, NAVY)
        c.hline(6, 14, y + 1, NAVY)
        c.hline(6, 12 - i, y + 2, DARK)


def search(c):
    c.circle(6, 6, 5, NAVY, 1.6)
    c.circle(6, 6, 3.5, (170, 210, 255), 3.5)
    for i in range(5):
        c.rect(9 + i, 9 + i, 10 + i, 10 + i, BLACK)


def program_icon(size=32):
    """The program icon drawn on a size by size grid (designed at 32)."""
    k = size / 32

    def at(v):
        return int(round(v * k))

    def span(v0, v1):
        # Both ends scaled; a one-pixel line stays at least one pixel wide.
        a = at(v0)
        return a, max(a, at(v1 + 1) - 1)

    c = Canvas(size, size, NONE)
    # a closed codebook with a magnifier
    c.rect(span(4, 25)[0], span(2, 29)[0], span(4, 25)[1], span(2, 29)[1], NAVY)
    c.rect(span(6, 7)[0], span(2, 29)[0], span(6, 7)[1], span(2, 29)[1], (0, 0, 80))
    c.rect(span(9, 23)[0], span(5, 9)[0], span(9, 23)[1], span(5, 9)[1], WHITE)
    for y in (13, 16, 19):
        for yy in range(span(y, y)[0], span(y, y)[1] + 1):
            c.hline(span(10, 22)[0], span(10, 22)[1], yy, (150, 170, 230))
    c.circle(21 * k, 21 * k, 7 * k, BLACK, 2.0 * k)
    c.circle(21 * k, 21 * k, 5 * k, (200, 230, 255), 5 * k)
    for i in range(5):
        c.rect(span(26 + i, 27 + i)[0], span(26 + i, 27 + i)[0], span(26 + i, 27 + i)[1],
               span(26 + i, 27 + i)[1], RED)
    return c


# The sizes the desktop's icon theme looks for, beside the scalable one.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def program_icon_svg():
    """The program icon as a scalable picture, the same drawing on a 32 grid."""
    return """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <rect x="4" y="2" width="22" height="28" fill="#000080"/>
  <rect x="6" y="2" width="2" height="28" fill="#000050"/>
  <rect x="9" y="5" width="15" height="5" fill="#ffffff"/>
  <g fill="#96aae6">
    <rect x="10" y="13" width="13" height="1"/>
    <rect x="10" y="16" width="13" height="1"/>
    <rect x="10" y="19" width="13" height="1"/>
  </g>
  <circle cx="21.5" cy="21.5" r="5.5" fill="#c8e6ff" stroke="#000000" stroke-width="2"/>
  <path d="M26 26 L31 31" stroke="#ff0000" stroke-width="2.2" stroke-linecap="square"/>
</svg>
"""


# A 5 by 7 font for the logo's letters.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    " ": ["00000"] * 7,
}


def text_width(text, scale):
    return len(text) * 6 * scale - scale


def draw_text(canvas, x, y, text, scale, colour):
    for ch in text:
        glyph = FONT[ch]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":
                    canvas.rect(x + gx * scale, y + gy * scale, x + gx * scale + scale - 1,
                                y + gy * scale + scale - 1, colour)
        x += 6 * scale


def logo():
    w, h = 440, 233
    c = Canvas(w, h, WHITE)
    # A deep blue band that fades downwards, 64 shades.
    for y in range(h):
        shade = y * 63 // (h - 1)
        colour = (0, shade, 96 + shade * 2)
        c.hline(0, w - 1, y, colour)
    # Stacked bars, like a frequency table.
    bars = [40, 72, 104, 88, 60, 36, 20]
    for i, b in enumerate(bars):
        x = 300 + i * 18
        c.rect(x, 200 - b, x + 12, 200, (255, 200, 0))
        c.rect(x, 200 - b, x + 12, 200 - b + 2, (255, 240, 160))
    c.hline(292, 430, 201, WHITE)
    draw_text(c, 24, 40, "QAVN", 12, WHITE)
    draw_text(c, 26, 140, "VARIBROW", 3, (255, 200, 0))
    draw_text(c, 26, 172, "VERSION 3.21", 2, WHITE)
    draw_text(c, 26, 200, "CODEBOOK BROWSER", 2, (170, 200, 255))
    c.rect(0, 0, w - 1, 1, WHITE)
    c.rect(0, h - 2, w - 1, h - 1, BLACK)
    return c


def write_bmp8(path, canvas):
    """An uncompressed 8-bit BMP with the canvas's colours as its table."""
    colours = []
    index = {}
    for row in canvas.px:
        for col in row:
            if col not in index:
                index[col] = len(colours)
                colours.append(col)
    if len(colours) > 256:
        raise SystemExit("logo has more than 256 colours")
    while len(colours) < 256:
        colours.append((0, 0, 0))
    stride = (canvas.w + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.px):
        line = bytes(index[c] for c in row)
        pixels += line + b"\0" * (stride - canvas.w)
    table = b"".join(bytes((b, g, r, 0)) for (r, g, b) in colours)
    offset = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + table + pixels)


def main():
    write_png(os.path.join(HERE, "checked.png"), check_box(True))
    write_png(os.path.join(HERE, "unchecked.png"), check_box(False))
    write_png(os.path.join(HERE, "Title.png"), title_picture())
    tb = os.path.join(HERE, "toolbar")
    os.makedirs(tb, exist_ok=True)
    for name, draw in [("top", bar_top), ("bottom", bar_bottom), ("prevsection", section(True)),
                       ("nextsection", section(False)), ("prevfile", file_button(True)),
                       ("nextfile", file_button(False)), ("prevtag", tag_button(True)),
                       ("nexttag", tag_button(False)), ("taggeditems", tagged_items), ("search", search)]:
        write_png(os.path.join(tb, name + ".png"), button(draw))
    write_png(os.path.join(HERE, "qavn.png"), program_icon())
    icons = os.path.join(HERE, "icons")
    os.makedirs(icons, exist_ok=True)
    for size in ICON_SIZES:
        write_png(os.path.join(icons, "qavn-%d.png" % size), program_icon(size))
    with open(os.path.join(icons, "qavn.svg"), "w") as f:
        f.write(program_icon_svg())
    demo = os.path.join(ROOT, "samples", "demo")
    os.makedirs(demo, exist_ok=True)
    write_bmp8(os.path.join(demo, "logo.bmp"), logo())


if __name__ == "__main__":
    main()
