#!/usr/bin/env python3
"""Writes the tool-bar icons of the sheet window (Icon_<id>.png, 16 x 16 pixels) into this folder.

Also the project window's row icons (1001 sheet, 2000 missing file, 2001 circular), its header's
tools (2037 project settings, 2002 add a sheet, 2004 update the hierarchy, 2053 check), the log
rows' severities (2100 error, 2101 warning, 2102 message), and the simulator tool bar's buttons
(2043-2047, 2200-2205).
The palette's tools: 2006 select, 2007 text, 2029 library part, 2031 sub-sheet symbol, 2024 wire,
2027 bus, 2032 power symbols, 2030 module ports, 2040 components, and the graphic elements 2009
line, 2010 rectangle, 2011 oval, 2012 arc, 2013 polygon, 2015 rounded rectangle, 2016 arrow; the
symbol editor's 2008 pin and 2014 triangle.
The top bar's buttons: 2017 snap to grid, 2019 zoom area, 2020 and 2021 rotate left and right,
2022 and 2023 mirror, 2048 outline width, 2049 outline colour, 2050 fill colour, 2035 search
libraries, 2028 library folders.
Each picture is drawn from a few shapes on a 16-unit square and sampled 4 x 4 times a pixel.
Run it again after changing a picture: python3 make_icons.py
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cursors"))
from make_cursors import png  # noqa: E402

SIZE = 16
SAMPLES = 4
BLACK = (20, 20, 20)
BLUE = (30, 80, 200)
RED = (200, 40, 40)
GREEN = (40, 140, 60)
GREY = (120, 120, 120)
FILL = (90, 140, 230)
PAPER = (255, 255, 255)
FOLDER = (220, 170, 60)


def seg_dist(px, py, x0, y0, x1, y1):
    dx, dy = x1 - x0, y1 - y0
    length = dx * dx + dy * dy
    t = 0 if length == 0 else max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length))
    return math.hypot(px - (x0 + t * dx), py - (y0 + t * dy))


def inside_polygon(px, py, points):
    inside = False
    n = len(points)
    for i in range(n):
        x0, y0 = points[i]
        x1, y1 = points[(i + 1) % n]
        if (y0 > py) != (y1 > py) and px < x0 + (py - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


class Icon:
    def __init__(self):
        self.shapes = []

    def line(self, points, colour=BLACK, width=1.2):
        self.shapes.append(("line", points, colour, width))
        return self

    def poly(self, points, colour=BLACK):
        self.shapes.append(("poly", points, colour, 0))
        return self

    def rect(self, x0, y0, x1, y1, colour=BLACK, width=1.2, fill=None):
        corners = [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]
        if fill:
            self.poly(corners, fill)
        return self.line(corners + [(x0, y0)], colour, width)

    def ellipse(self, cx, cy, rx, ry, colour=BLACK, width=1.2, start=0, sweep=360, fill=None):
        steps = 48
        points = [(cx + rx * math.cos(math.radians(start + sweep * i / steps)),
                   cy - ry * math.sin(math.radians(start + sweep * i / steps))) for i in range(steps + 1)]
        if fill:
            self.poly(points, fill)
        return self.line(points, colour, width)

    def dot(self, cx, cy, r, colour=BLACK):
        return self.ellipse(cx, cy, r, r, colour, 0.1, fill=colour)

    def arrowhead(self, x, y, angle, colour=BLACK, size=3.5):
        a = math.radians(angle)
        left = (x - size * math.cos(a - 0.5), y + size * math.sin(a - 0.5))
        right = (x - size * math.cos(a + 0.5), y + size * math.sin(a + 0.5))
        return self.poly([(x, y), left, right], colour)

    def covers(self, shape, px, py):
        kind, points, _, width = shape
        if kind == "poly":
            return inside_polygon(px, py, points)
        return any(seg_dist(px, py, *points[i], *points[i + 1]) <= width / 2
                   for i in range(len(points) - 1))

    def pixels(self):
        rows = []
        for y in range(SIZE):
            row = []
            for x in range(SIZE):
                r = g = b = a = 0.0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        px, py = x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES
                        colour = None
                        for shape in self.shapes:
                            if self.covers(shape, px, py):
                                colour = shape[2]
                        if colour:
                            r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
                n = SAMPLES * SAMPLES
                if a == 0:
                    row.append((0, 0, 0, 0))
                else:
                    row.append((int(r / a), int(g / a), int(b / a), int(255 * a / n)))
            rows.append(row)
        return rows


def menu_mark(icon):
    """The small triangle of a tool that opens a menu."""
    return icon.poly([(11.5, 13), (15.5, 13), (13.5, 15.5)], BLACK)


def icons():
    out = {}
    out[2006] = Icon().poly([(4, 1.5), (4, 13.5), (6.8, 10.8), (8.8, 15), (10.6, 14.2), (8.6, 10), (12.3, 10)], BLACK) \
        .poly([(5, 4), (5, 11.2), (7, 9.2), (9.1, 13.6), (9.4, 13.4), (7.4, 9.1), (10, 9.1)], PAPER)
    out[2007] = Icon().line([(3, 3), (13, 3)], BLACK, 2).line([(8, 3), (8, 14)], BLACK, 2) \
        .line([(5.5, 14), (10.5, 14)], BLACK, 1.2)
    chip = Icon().rect(4, 2.5, 12, 13.5, BLACK, 1.2, fill=PAPER)
    for y in (5, 8, 11):
        chip.line([(1, y), (4, y)], BLUE, 1.2).line([(12, y), (15, y)], BLUE, 1.2)
    out[2029] = chip.dot(6.2, 4.7, 0.9)
    out[2031] = Icon().rect(2, 3, 13, 13, BLACK, 1.2, fill=PAPER).rect(4, 1, 15, 11, BLACK, 1.2, fill=PAPER) \
        .poly([(4, 5), (7, 6.5), (4, 8)], BLUE).poly([(15, 5), (12, 6.5), (15, 8)], BLUE)
    out[2024] = Icon().line([(2, 13), (8, 13), (8, 4), (14, 4)], BLUE, 1.6).dot(2.2, 13, 1.5, BLUE) \
        .dot(13.8, 4, 1.5, BLUE).dot(8, 13, 0.1, BLUE)
    out[2027] = Icon().line([(1.5, 5), (14.5, 5)], BLUE, 3).line([(4, 6.5), (7, 9.5), (7, 14)], BLUE, 1.2) \
        .line([(10, 6.5), (13, 9.5), (13, 14)], BLUE, 1.2)
    out[2032] = menu_mark(Icon().line([(7, 14), (7, 6)], BLACK, 1.3).line([(2, 6), (12, 6)], BLACK, 1.8)
                          .line([(7, 1.5), (7, 4)], RED, 1.3).line([(5.5, 2.8), (8.5, 2.8)], RED, 1.3))
    out[2030] = menu_mark(Icon().poly([(1, 4), (9, 4), (13, 8), (9, 12), (1, 12)], PAPER)
                          .line([(1, 4), (9, 4), (13, 8), (9, 12), (1, 12), (1, 4)], BLACK, 1.2))
    out[2040] = menu_mark(Icon().line([(0.5, 7), (3, 7), (4, 4), (6, 10), (8, 4), (10, 10), (11, 7), (15, 7)],
                                      BLACK, 1.2))
    out[2009] = Icon().line([(2.5, 13.5), (13.5, 2.5)], BLACK, 1.4)
    out[2010] = Icon().rect(2.5, 4, 13.5, 12.5, BLACK, 1.4)
    out[2011] = Icon().ellipse(8, 8, 6, 4.5, BLACK, 1.4)
    out[2012] = Icon().ellipse(3, 13, 10, 10, BLACK, 1.4, start=0, sweep=90)
    out[2013] = Icon().line([(2, 13), (4, 3), (10, 6), (14, 2), (13, 13), (2, 13)], BLACK, 1.3)
    rounded = Icon()
    rounded.line([(5, 3), (11, 3)], BLACK, 1.4).line([(5, 13), (11, 13)], BLACK, 1.4)
    rounded.line([(2, 6), (2, 10)], BLACK, 1.4).line([(14, 6), (14, 10)], BLACK, 1.4)
    for cx, cy, start in ((5, 6, 90), (11, 6, 0), (11, 10, 270), (5, 10, 180)):
        rounded.ellipse(cx, cy, 3, 3, BLACK, 1.4, start=start, sweep=90)
    out[2015] = rounded
    out[2008] = Icon().line([(2, 8), (11, 8)], BLACK, 1.4).dot(12.5, 8, 1.8, RED)
    out[2014] = Icon().line([(8, 2.5), (14, 13.5), (2, 13.5), (8, 2.5)], BLACK, 1.3)
    out[2016] = Icon().line([(2.5, 13.5), (12, 4)], BLACK, 1.4).arrowhead(14, 2, 45, BLACK, 5)
    grid = Icon()
    for y in (3, 7, 11):
        for x in (3, 7, 11):
            grid.dot(x, y, 0.9, GREY)
    out[2017] = grid.line([(3, 11), (7, 11), (7, 7), (11, 7)], BLUE, 1.4).dot(11, 7, 1.6, RED)
    out[2019] = Icon().ellipse(6.5, 6.5, 4.5, 4.5, BLACK, 1.4, fill=PAPER).line([(9.8, 9.8), (14.5, 14.5)], BLACK, 2.2) \
        .line([(4.5, 6.5), (8.5, 6.5)], BLACK, 1).line([(6.5, 4.5), (6.5, 8.5)], BLACK, 1)
    out[2020] = Icon().ellipse(8, 8, 5, 5, BLACK, 1.4, start=-60, sweep=240).arrowhead(3, 12.5, 270, BLACK, 5)
    out[2021] = Icon().ellipse(8, 8, 5, 5, BLACK, 1.4, start=0, sweep=240).arrowhead(13, 12.5, 270, BLACK, 5)
    out[2022] = Icon().line([(8, 1), (8, 15)], GREY, 1).poly([(6.5, 3), (6.5, 13), (1.5, 13)], BLACK) \
        .line([(9.5, 3), (9.5, 13), (14.5, 13), (9.5, 3)], BLACK, 1.1)
    out[2023] = Icon().line([(1, 8), (15, 8)], GREY, 1).poly([(3, 6.5), (13, 6.5), (13, 1.5)], BLACK) \
        .line([(3, 9.5), (13, 9.5), (13, 14.5), (3, 9.5)], BLACK, 1.1)
    out[2048] = Icon().line([(2, 3), (14, 3)], BLACK, 1).line([(2, 7), (14, 7)], BLACK, 2) \
        .line([(2, 12), (14, 12)], BLACK, 3)
    out[2049] = Icon().rect(3, 3, 13, 13, RED, 2.4)
    out[2050] = Icon().rect(3, 3, 13, 13, BLACK, 1, fill=FILL)
    out[2035] = Icon().rect(1.5, 2, 9.5, 14, BLACK, 1.1, fill=PAPER).line([(3.5, 5), (7.5, 5)], GREY, 1) \
        .line([(3.5, 8), (7.5, 8)], GREY, 1).ellipse(10, 9, 3.2, 3.2, BLACK, 1.3, fill=PAPER) \
        .line([(12.3, 11.3), (15, 14)], BLACK, 1.8)
    out[2028] = Icon().poly([(1, 4), (6, 4), (7.5, 5.5), (15, 5.5), (15, 14), (1, 14)], FOLDER) \
        .line([(1, 4), (6, 4), (7.5, 5.5), (15, 5.5), (15, 14), (1, 14), (1, 4)], BLACK, 1) \
        .line([(1, 7.5), (15, 7.5)], BLACK, 0.8)
    # The project window's rows: a sheet, a sheet whose file is missing, a circular sheet.
    def sheet():
        return Icon().poly([(3, 1.5), (10, 1.5), (13, 4.5), (13, 14.5), (3, 14.5)], PAPER) \
            .line([(3, 1.5), (10, 1.5), (13, 4.5), (13, 14.5), (3, 14.5), (3, 1.5)], BLACK, 1) \
            .line([(10, 1.5), (10, 4.5), (13, 4.5)], BLACK, 0.8)
    out[1001] = sheet().line([(5, 7), (11, 7)], GREY, 0.9).line([(5, 9.5), (11, 9.5)], GREY, 0.9) \
        .line([(5, 12), (9, 12)], GREY, 0.9)
    out[2000] = sheet().line([(5, 6), (11, 12.5)], RED, 1.8).line([(11, 6), (5, 12.5)], RED, 1.8)
    out[2001] = sheet().ellipse(8, 9.5, 3, 3, BLUE, 1.3, start=30, sweep=300).arrowhead(10.6, 8, 80, BLUE, 3)
    # The project window's header: 2037 project settings, 2002 add a top-level sheet, 2004 update
    # the hierarchy, 2053 check the project.
    settings = Icon()
    for x, knob in ((4, 10), (8, 5), (12, 8)):
        settings.line([(x, 2), (x, 14)], GREY, 1.2).rect(x - 1.8, knob - 1.3, x + 1.8, knob + 1.3, BLACK, 0.9, fill=FILL)
    out[2037] = settings
    out[2002] = sheet().line([(8, 6.5), (8, 13)], (40, 150, 60), 2).line([(4.75, 9.75), (11.25, 9.75)], (40, 150, 60), 2)
    out[2004] = Icon().rect(1.5, 1.5, 6.5, 5.5, BLACK, 1, fill=PAPER).line([(4, 5.5), (4, 12), (8.5, 12)], BLACK, 1) \
        .line([(4, 8.5), (8.5, 8.5)], BLACK, 1).ellipse(12, 10, 3, 3, BLUE, 1.3, start=40, sweep=280) \
        .arrowhead(14.4, 8.3, 80, BLUE, 3)
    out[2053] = sheet().line([(5, 9.5), (7.5, 12), (11.5, 6.5)], (40, 150, 60), 1.8)
    # The log rows' severities: error, warning, message.
    out[2100] = Icon().ellipse(8, 8, 7, 7, RED, 0.5, fill=RED).line([(4.5, 8), (11.5, 8)], PAPER, 2.4)
    out[2101] = Icon().poly([(8, 1), (15.5, 14.5), (0.5, 14.5)], (230, 180, 30)) \
        .line([(8, 5.5), (8, 10)], BLACK, 1.8).dot(8, 12.6, 1.1)
    out[2102] = Icon().ellipse(8, 8, 7, 7, BLUE, 0.5, fill=BLUE).line([(8, 7), (8, 12.5)], PAPER, 2) \
        .dot(8, 4.5, 1.2, PAPER)
    # The simulator tool bar: 2044 show voltage labels, 2045 place a voltage label, 2046 fetch the
    # analysis data, 2047 pick signals to graph, 2043 run (idle) and 2200-2205 the run turning.
    GREEN = (40, 150, 60)
    def label(icon):
        return icon.rect(1.5, 4, 12.5, 12, BLACK, 1, fill=(255, 250, 200)) \
            .line([(4, 6), (7, 10.5), (10, 6)], BLUE, 1.4)
    out[2044] = label(Icon())
    out[2045] = label(Icon()).line([(12.5, 12), (15, 15)], BLACK, 1.2).line([(13, 1), (13, 6)], RED, 1.4) \
        .line([(10.5, 3.5), (15.5, 3.5)], RED, 1.4)
    out[2046] = Icon().ellipse(8, 8, 5.5, 5.5, GREEN, 1.6, start=20, sweep=290).arrowhead(13.2, 6.2, 80, GREEN, 4.5)
    out[2047] = Icon().line([(1.5, 14.5), (1.5, 1.5)], GREY, 1).line([(1.5, 14.5), (14.5, 14.5)], GREY, 1) \
        .line([(2, 12), (5, 6), (8, 10), (11, 3), (14.5, 8)], RED, 1.4)
    out[2043] = Icon().poly([(4, 2), (14, 8), (4, 14)], GREEN)
    for step in range(6):
        turning = Icon().poly([(5, 4.5), (11.5, 8), (5, 11.5)], GREEN)
        for dot in range(6):
            angle = math.radians(90 - 60 * dot)
            shade = GREEN if dot == step else (200, 200, 200)
            turning.dot(8 + 6.3 * math.cos(angle), 8 - 6.3 * math.sin(angle), 1.3, shade)
        out[2200 + step] = turning
    return out


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for number, icon in icons().items():
        with open(os.path.join(here, "Icon_%d.png" % number), "wb") as out:
            out.write(png(icon.pixels()))
