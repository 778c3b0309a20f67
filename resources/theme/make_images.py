#!/usr/bin/env python3
"""Draws the five task-row button images (20x20 RGBA PNG) with the standard library only.

Run from anywhere: python3 make_images.py  (writes the PNGs beside this script).
Each picture is a stack of simple shapes drawn with 4x4 supersampling for smooth edges.
"""
import math
import os
import struct
import zlib

SIZE = 20
SS = 4  # samples per pixel along each axis


def png_bytes(pixels):
    """pixels: SIZE rows of SIZE (r, g, b, a) tuples."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def line(a, b, width, color):
    return lambda x, y: color if seg_dist(x, y, *a, *b) <= width / 2 else None


def disc(c, radius, color):
    return lambda x, y: color if math.hypot(x - c[0], y - c[1]) <= radius else None


def inside_polygon(x, y, pts):
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def polygon(pts, color):
    return lambda x, y: color if inside_polygon(x, y, pts) else None


def arc(c, radius, width, start_deg, end_deg, color):
    """Ring segment; angles in degrees, counter-clockwise on screen from +x (y points down)."""
    def shade(x, y):
        dx, dy = x - c[0], c[1] - y
        if abs(math.hypot(dx, dy) - radius) > width / 2:
            return None
        ang = math.degrees(math.atan2(dy, dx)) % 360
        lo, hi = start_deg % 360, end_deg % 360
        ok = lo <= ang <= hi if lo <= hi else (ang >= lo or ang <= hi)
        return color if ok else None
    return shade


def render(shapes):
    pixels = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = px + (sx + 0.5) / SS
                    y = py + (sy + 0.5) / SS
                    color = None
                    for shape in shapes:  # last shape on top
                        c = shape(x, y)
                        if c is not None:
                            color = c
                    if color is not None:
                        acc[0] += color[0]
                        acc[1] += color[1]
                        acc[2] += color[2]
                        acc[3] += 1
            n = SS * SS
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                cov = acc[3]
                row.append((round(acc[0] / cov), round(acc[1] / cov), round(acc[2] / cov),
                            round(255 * cov / n)))
        pixels.append(row)
    return pixels


DARK = (45, 45, 45)
GREEN = (34, 139, 34)
BLUE = (30, 100, 200)
ORANGE = (214, 100, 20)
YELLOW = (240, 190, 40)
PINK = (230, 120, 140)
TIP = (240, 215, 170)


def edit_task():
    # A pencil lying from the bottom left to the top right.
    a, b = (5.0, 15.0), (15.5, 4.5)
    return [
        line(a, b, 6.0, DARK),               # outline
        line((6.2, 13.8), b, 4.0, YELLOW),    # body
        line((14.2, 5.8), (15.5, 4.5), 4.0, PINK),  # eraser
        line((13.2, 6.8), (13.9, 6.1), 4.2, DARK),  # ferrule band
        polygon([(2.5, 17.5), (4.0, 12.5), (7.5, 16.0)], DARK),     # sharpened wood
        polygon([(4.2, 13.4), (6.6, 15.8), (3.6, 16.4)], TIP),
        polygon([(2.5, 17.5), (3.1, 15.4), (4.6, 16.9)], DARK),     # lead
    ]


def task_done():
    # A bold tick.
    return [
        line((3.5, 10.5), (8.0, 15.0), 3.6, GREEN),
        line((8.0, 15.0), (16.5, 4.5), 3.6, GREEN),
    ]


def do_again():
    # A circular arrow turning clockwise, head at the top right.
    c = (10.0, 10.5)
    return [
        arc(c, 6.0, 2.6, 80, 370, BLUE),   # from the top round the left and bottom to the right
        polygon([(12.0, 1.2), (17.6, 6.4), (11.4, 8.8)], BLUE),
    ]


def more():
    # Three dots: more options.
    return [disc((x, 10.0), 2.0, DARK) for x in (4.0, 10.0, 16.0)]


def undo_task():
    # An arrow that bends back to the left.
    c = (11.0, 11.0)
    return [
        arc(c, 5.0, 2.6, -90, 90, ORANGE),        # right half of a ring
        line((11.0, 6.0), (6.5, 6.0), 2.6, ORANGE),  # top stroke to the arrow head
        line((11.0, 16.0), (7.0, 16.0), 2.6, ORANGE),
        polygon([(2.0, 6.0), (7.5, 1.5), (7.5, 10.5)], ORANGE),
    ]


IMAGES = {
    "edittask.png": edit_task,
    "taskdone.png": task_done,
    "dotaskagain.png": do_again,
    "more.png": more,
    "undotask.png": undo_task,
}

if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, shapes in IMAGES.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(png_bytes(render(shapes())))
