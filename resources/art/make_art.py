#!/usr/bin/env python3
"""Draws Quorvex's icons and bitmaps (Python 3 standard library only).

Regenerate the committed files after changing a drawing:

    python3 resources/art/make_art.py

Writes, next to this script:
  quorvex.ico  icon 120, the frame: a candlestick chart on a dark tile
  editor.ico   icon 121, the record editor: a grid with a highlighted cell
  browser.ico  icon 122, the directory browser: a folder with tree lines
  folders.bmp  bitmap 129, the directory tree's 16-pixel image strip (closed
               and open folder); white is the transparent colour
  picture.bmp  bitmap 700, 539 x 272, 256 colours: the About and banner picture

The output is deterministic: the same bytes on every run.
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


class Canvas:
    """An RGBA pixel grid with the few drawing operations the pictures need."""

    def __init__(self, width, height, colour=(0, 0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [[colour for _ in range(width)] for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            if len(colour) == 3:
                colour = colour + (255,)
            self.pixels[y][x] = colour

    def get(self, x, y):
        return self.pixels[y][x]

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), inclusive."""
        for y in range(min(y0, y1), max(y0, y1) + 1):
            for x in range(min(x0, x1), max(x0, x1) + 1):
                self.put(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.line(x0, y0, x1, y0, colour)
        self.line(x1, y0, x1, y1, colour)
        self.line(x1, y1, x0, y1, colour)
        self.line(x0, y1, x0, y0, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        half = width // 2
        while True:
            for oy in range(-half, width - half):
                for ox in range(-half, width - half):
                    self.put(x0 + ox, y0 + oy, colour)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def disc(self, cx, cy, radius, colour):
        for y in range(cy - radius, cy + radius + 1):
            for x in range(cx - radius, cx + radius + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                    self.put(x, y, colour)

    def ring(self, cx, cy, radius, thickness, colour):
        inner = (radius - thickness) ** 2
        for y in range(cy - radius, cy + radius + 1):
            for x in range(cx - radius, cx + radius + 1):
                d = (x - cx) ** 2 + (y - cy) ** 2
                if inner < d <= radius * radius:
                    self.put(x, y, colour)

    def polygon(self, points, colour):
        """Fills a simple polygon (even-odd rule, pixel centres)."""
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            xs = []
            for i in range(len(points)):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % len(points)]
                if (ya <= yc < yb) or (yb <= yc < ya):
                    xs.append(xa + (yc - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(int(round(xs[i])), int(round(xs[i + 1]))):
                    self.put(x, y, colour)


class Random:
    """A small deterministic generator (no dependence on Python's own)."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 4294967296.0


# Icons -----------------------------------------------------------------------

def draw_frame_icon(size):
    c = Canvas(size, size)
    s = size / 32.0
    c.rect(1, 1, size - 2, size - 2, (20, 34, 74))
    c.frame(1, 1, size - 2, size - 2, (120, 150, 210))
    closes = [20, 17, 19, 14, 15, 10, 12, 7]
    opens = [23, 20, 17, 18, 13, 14, 10, 11]
    for i, (o, cl) in enumerate(zip(opens, closes)):
        x = int((4 + i * 3.3) * s)
        top, bottom = min(o, cl), max(o, cl)
        up = cl < o
        colour = (60, 220, 90) if up else (235, 70, 60)
        c.line(x + int(s), int((top - 3) * s), x + int(s), int((bottom + 3) * s), (200, 200, 210))
        c.rect(x, int(top * s), x + max(1, int(2 * s)), int(bottom * s), colour)
    c.line(int(3 * s), int(27 * s), int(28 * s), int(27 * s), (200, 200, 210))
    return c


def draw_editor_icon(size):
    c = Canvas(size, size)
    s = size / 32.0
    c.rect(int(3 * s), int(2 * s), int(28 * s), int(29 * s), (255, 255, 255))
    c.rect(int(3 * s), int(2 * s), int(28 * s), int(8 * s), (40, 70, 150))
    for k in range(0, 5):
        y = int((8 + k * 5.25) * s)
        c.line(int(3 * s), y, int(28 * s), y, (110, 110, 120))
    for k in range(1, 3):
        x = int((3 + k * 8.33) * s)
        c.line(x, int(2 * s), x, int(29 * s), (110, 110, 120))
    c.rect(int(12 * s), int(14 * s), int(19 * s), int(18 * s), (255, 220, 80))
    c.frame(int(3 * s), int(2 * s), int(28 * s), int(29 * s), (30, 30, 40))
    return c


def folder(c, x0, y0, w, h, body, tab, edge):
    tab_w = max(3, w * 2 // 5)
    c.rect(x0, y0, x0 + tab_w, y0 + max(1, h // 6), tab)
    c.rect(x0, y0 + max(1, h // 6), x0 + w - 1, y0 + h - 1, body)
    c.frame(x0, y0 + max(1, h // 6), x0 + w - 1, y0 + h - 1, edge)
    c.line(x0, y0, x0 + tab_w, y0, edge)


def draw_browser_icon(size):
    c = Canvas(size, size)
    s = size / 32.0
    grey = (70, 70, 80)
    c.line(int(6 * s), int(10 * s), int(6 * s), int(25 * s), grey)
    c.line(int(6 * s), int(25 * s), int(14 * s), int(25 * s), grey)
    c.line(int(6 * s), int(17 * s), int(14 * s), int(17 * s), grey)
    folder(c, int(1 * s), int(2 * s), int(13 * s), int(9 * s), (250, 200, 60), (230, 170, 40), (120, 80, 10))
    folder(c, int(14 * s), int(13 * s), int(15 * s), int(8 * s), (250, 200, 60), (230, 170, 40), (120, 80, 10))
    folder(c, int(14 * s), int(21 * s), int(15 * s), int(8 * s), (120, 190, 250), (90, 150, 220), (20, 60, 120))
    return c


def icon_image(canvas):
    """One 32-bit BGRA icon image with its AND mask, as stored inside a .ico."""
    w, h = canvas.width, canvas.height
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        for x in range(w):
            r, g, b, a = canvas.get(x, y)
            xor += bytes((b, g, r, a))
    mask_stride = ((w + 31) // 32) * 4
    mask = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_stride)
        for x in range(w):
            if canvas.get(x, y)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(xor) + bytes(mask)


def write_icon(name, draw):
    images = [icon_image(draw(32)), icon_image(draw(16))]
    sizes = [32, 16]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


# Bitmaps -----------------------------------------------------------------------

def write_bmp24(name, canvas):
    w, h = canvas.width, canvas.height
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b, _ = canvas.get(x, y)
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        pixels += row
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(head + info + pixels)


def palette_256():
    """A 6x6x6 colour cube plus a 40-step ramp of the picture's night blues."""
    colours = []
    levels = [0, 51, 102, 153, 204, 255]
    for r in levels:
        for g in levels:
            for b in levels:
                colours.append((r, g, b))
    for i in range(40):
        t = i / 39.0
        colours.append((int(4 + 20 * t), int(8 + 34 * t), int(18 + 78 * t)))
    return colours


def write_bmp8(name, canvas):
    palette = palette_256()
    cache = {}

    def nearest(rgb):
        if rgb not in cache:
            cache[rgb] = min(range(256), key=lambda i: sum((a - b) ** 2 for a, b in zip(rgb, palette[i])))
        return cache[rgb]

    w, h = canvas.width, canvas.height
    stride = (w + 3) & ~3
    pixels = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(nearest(canvas.get(x, y)[:3]) for x in range(w))
        row += bytes(stride - w)
        pixels += row
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(table)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(head + info + table + pixels)


def draw_folder_strip():
    white = (255, 255, 255)
    c = Canvas(32, 16, white + (255,))
    # Image 0: closed folder.
    folder(c, 1, 2, 14, 12, (250, 200, 60), (230, 170, 40), (120, 80, 10))
    c.line(2, 6, 13, 6, (255, 230, 140))
    # Image 1: open folder, its front flap tilted.
    folder(c, 17, 2, 14, 12, (230, 170, 40), (230, 170, 40), (120, 80, 10))
    c.polygon([(19, 7), (31, 7), (29, 14), (17, 14)], (252, 214, 90))
    c.line(19, 7, 31, 7, (120, 80, 10))
    c.line(31, 7, 29, 13, (120, 80, 10))
    return c


def draw_picture():
    """A night-blue trading screen: a candlestick chart with its moving average
    and volume bars, seen through a magnifying glass on the left."""
    w, h = 539, 272
    c = Canvas(w, h)
    for y in range(h):
        t = y / (h - 1)
        colour = (int(24 - 20 * t), int(42 - 34 * t), int(96 - 78 * t))
        for x in range(w):
            c.put(x, y, colour)
    for x in range(0, w, 30):
        c.line(x, 0, x, h - 1, (28, 46, 90))
    for y in range(16, h, 32):
        c.line(0, y, w - 1, y, (28, 46, 90))

    rnd = Random(20260101)
    price = 205.0
    candles = []
    for i in range(44):
        drift = 3.2 if i > 8 else -2.0
        move = (rnd.next() - 0.5) * 26 + drift
        open_ = price
        close = max(30.0, min(235.0, price - move))
        high = min(open_, close) - rnd.next() * 9
        low = max(open_, close) + rnd.next() * 9
        candles.append((open_, high, low, close))
        price = close
    average = []
    for i in range(len(candles)):
        window = [cl for (_, _, _, cl) in candles[max(0, i - 5):i + 1]]
        average.append(sum(window) / len(window))
    for i, (o, hi, lo, cl) in enumerate(candles):
        x = 8 + i * 12
        up = cl < o
        body = (40, 150, 70) if up else (150, 45, 45)
        wick = (120, 130, 150)
        c.line(x + 3, int(hi), x + 3, int(lo), wick)
        c.rect(x, int(min(o, cl)), x + 6, int(max(o, cl)), body)
        vol = int(8 + rnd.next() * 22)
        c.rect(x, h - 1 - vol, x + 6, h - 1, (34, 60, 120))
    for i in range(1, len(average)):
        c.line(2 + (i - 1) * 12 + 9, int(average[i - 1]), 2 + i * 12 + 9, int(average[i]), (230, 200, 70))

    # The magnifying glass over the start of the chart, a bright lens edge and
    # a handle running down to the left.
    cx, cy, r = 84, 178, 50
    for y in range(cy - r, cy + r + 1):
        for x in range(cx - r, cx + r + 1):
            if (x - cx) ** 2 + (y - cy) ** 2 <= (r - 5) ** 2 and 0 <= x < w and 0 <= y < h:
                rr, gg, bb, _ = c.get(x, y)
                c.put(x, y, (min(255, rr + 30), min(255, gg + 34), min(255, bb + 40)))
    c.ring(cx, cy, r, 6, (200, 205, 215))
    c.ring(cx, cy, r - 6, 1, (90, 100, 120))
    c.line(cx - 40, cy + 40, cx - 64, cy + 64, (200, 205, 215), width=9)
    c.line(cx - 46, cy + 46, cx - 68, cy + 68, (110, 70, 30), width=11)
    c.rect(0, 0, w - 1, 1, (80, 110, 190))
    return c


def main():
    write_icon("quorvex.ico", draw_frame_icon)
    write_icon("editor.ico", draw_editor_icon)
    write_icon("browser.ico", draw_browser_icon)
    write_bmp24("folders.bmp", draw_folder_strip())
    write_bmp8("picture.bmp", draw_picture())


if __name__ == "__main__":
    main()
