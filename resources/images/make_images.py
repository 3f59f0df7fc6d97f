#!/usr/bin/env python3
"""Writes the program images of this folder as PNG files.

ConverterApp.png: the document converter's icon, 64 x 64 pixels: an orange rounded square with a
white sheet whose black trace turns into a blue one behind an arrow.
PlexaApp.png: the editor's icon, 64 x 64 pixels: the same orange rounded square and white sheet with
a blue wire through a black resistor and a junction dot.
Run it again after changing a picture: python3 make_images.py
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cursors"))
from make_cursors import png  # noqa: E402

SIZE = 64


def sheet_background():
    clear, orange, white = (0, 0, 0, 0), (255, 138, 85, 255), (255, 255, 255, 255)
    pixels = [[clear] * SIZE for _ in range(SIZE)]
    radius = 10
    for y in range(SIZE):
        for x in range(SIZE):
            dx = max(radius - x, x - (SIZE - 1 - radius), 0)
            dy = max(radius - y, y - (SIZE - 1 - radius), 0)
            if dx * dx + dy * dy <= radius * radius:
                pixels[y][x] = orange
    for y in range(12, 52):
        for x in range(10, 54):
            pixels[y][x] = white
    return pixels


def converter_icon():
    black, blue = (0, 0, 0, 255), (30, 80, 200, 255)
    pixels = sheet_background()
    # A zig-zag trace on the left half, a straight one on the right, an arrow between.
    for x in range(12, 26):
        y = 32 + (4 - abs((x - 12) % 8 - 4)) * 2 - 4
        for t in range(2):
            pixels[y + t][x] = black
    for x in range(38, 52):
        for t in range(2):
            pixels[31 + t][x] = blue
    for x in range(27, 36):
        pixels[31][x] = pixels[32][x] = black
    for i in range(5):
        for t in range(-i, i + 1):
            pixels[31 + t][36 - 4 + (4 - i)] = black
    return pixels


def editor_icon():
    black, blue = (0, 0, 0, 255), (30, 80, 200, 255)
    pixels = sheet_background()
    # A wire from the left edge, a resistor, a wire on to a junction dot and down.
    for x in range(12, 22):
        pixels[31][x] = pixels[32][x] = blue
    for x in range(22, 38):
        y = 32 + (4 - abs((x - 22) % 8 - 4)) * 2 - 4
        for t in range(2):
            pixels[y + t][x] = black
    for x in range(38, 52):
        pixels[31][x] = pixels[32][x] = blue
    for y in range(32, 50):
        pixels[y][44] = pixels[y][45] = blue
    for y in range(28, 37):
        for x in range(40, 50):
            if (y - 32) ** 2 + (x - 44.5) ** 2 <= 12:
                pixels[y][x] = blue
    return pixels


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "ConverterApp.png"), "wb") as out:
        out.write(png(converter_icon()))
    with open(os.path.join(here, "PlexaApp.png"), "wb") as out:
        out.write(png(editor_icon()))
