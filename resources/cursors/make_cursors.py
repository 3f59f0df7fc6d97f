#!/usr/bin/env python3
"""Writes the toolkit's named cursors (Cursor_<id>.cur) into this folder.

Each file is a one-image cursor file: a 6-byte header (0, type 2, one image), one 16-byte entry
(width, height, 0, 0, hot spot x and y, byte size and offset of the image) and the image as PNG.
The pictures are drawn here in black with a white edge on 32 x 32 pixels.
Run it again after changing a picture: python3 make_cursors.py
"""
import math
import os
import struct
import zlib

SIZE = 32


def png(pixels):
    """The RGBA rows of pixels as a PNG file's bytes."""
    rows = b"".join(b"\0" + bytes(sum((list(p) for p in row), [])) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", len(pixels[0]), len(pixels), 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


class Canvas:
    def __init__(self):
        self.ink = set()

    def dot(self, x, y):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            self.ink.add((int(x), int(y)))

    def line(self, x0, y0, x1, y1):
        steps = int(max(abs(x1 - x0), abs(y1 - y0))) or 1
        for i in range(steps + 1):
            self.dot(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps))

    def circle(self, cx, cy, r):
        for i in range(int(8 * r) + 8):
            a = 2 * math.pi * i / (8 * r + 8)
            self.dot(round(cx + r * math.cos(a)), round(cy + r * math.sin(a)))

    def arrow(self, x0, y0, x1, y1):
        self.line(x0, y0, x1, y1)
        a = math.atan2(y1 - y0, x1 - x0)
        for side in (-1, 1):
            b = a + math.pi + side * math.pi / 4
            self.line(x1, y1, x1 + 4 * math.cos(b), y1 + 4 * math.sin(b))

    def pixels(self):
        out = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
        for y in range(SIZE):
            for x in range(SIZE):
                if (x, y) in self.ink:
                    out[y][x] = (0, 0, 0, 255)
                elif any((x + dx, y + dy) in self.ink for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                    out[y][x] = (255, 255, 255, 255)
        return out


def zoom(c):
    c.circle(12, 12, 7)
    c.line(17, 17, 24, 24)
    c.line(18, 17, 25, 24)
    c.line(9, 12, 15, 12)
    c.line(12, 9, 12, 15)
    return 12, 12


def move(c):
    for end in ((16, 5), (16, 27), (5, 16), (27, 16)):
        c.arrow(16, 16, *end)
    return 16, 16


def move_h(c):
    c.arrow(16, 16, 5, 16)
    c.arrow(16, 16, 27, 16)
    c.line(16, 12, 16, 20)
    return 16, 16


def move_v(c):
    c.arrow(16, 16, 16, 5)
    c.arrow(16, 16, 16, 27)
    c.line(12, 16, 20, 16)
    return 16, 16


def cross_box(c):
    c.line(16, 6, 16, 26)
    c.line(6, 16, 26, 16)
    for x in range(20, 26):
        c.line(x, 20, x, 25)
    return 16, 16


def cross_ring(c):
    c.line(16, 6, 16, 26)
    c.line(6, 16, 26, 16)
    c.circle(23, 23, 3)
    return 16, 16


def busy(step):
    def draw(c):
        c.circle(16, 16, 10)
        a = math.pi / 2 * step - math.pi / 2
        c.line(16, 16, 16 + 8 * math.cos(a), 16 + 8 * math.sin(a))
        c.line(16, 16, 16, 11)
        return 16, 16
    return draw


CURSORS = {1002: zoom, 1004: move, 1005: move_h, 1006: move_v, 1010: cross_box,
           1011: cross_ring, 2001: busy(0), 2002: busy(1), 2003: busy(2), 2004: busy(3)}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for number, draw in CURSORS.items():
        canvas = Canvas()
        hot_x, hot_y = draw(canvas)
        image = png(canvas.pixels())
        head = struct.pack("<HHH", 0, 2, 1)
        entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, hot_x, hot_y, len(image), 22)
        with open(os.path.join(here, "Cursor_%d.cur" % number), "wb") as out:
            out.write(head + entry + image)


if __name__ == "__main__":
    main()
