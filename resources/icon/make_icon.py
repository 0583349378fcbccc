#!/usr/bin/env python3
"""Draws the application icon's source image, resources/icon/Lanternquill.png (1024 x 1024, RGBA).

    python3 resources/icon/make_icon.py [OUT.png]

A rounded square in night blue, a lantern's amber light in the middle and a white check mark in it:
the Mac's protections, lit and in order. Plain Python (zlib for the PNG), no image library, so anyone
can draw it again; the macOS build makes the .icns from the PNG with sips and iconutil. Edges are
smoothed from signed distances, so the output is the same on every machine.
"""

import math
import os
import struct
import sys
import zlib

SIZE = 1024
# Apple's icon grid: the body is 824 px wide on a 1024 px canvas, with rounded corners.
BODY = 824
CORNER = 185
TOP_BLUE = (43, 76, 126)
BOTTOM_BLUE = (14, 30, 61)
AMBER = (255, 186, 73)
AMBER_EDGE = (232, 128, 34)
LIGHT_CENTRE = (512.0, 500.0)
LIGHT_RADIUS = 215.0
GLOW_RADIUS = 380.0
CHECK = [(405.0, 505.0), (480.0, 580.0), (625.0, 420.0)]
CHECK_HALF_WIDTH = 30.0


def rounded_square_distance(x, y):
    half = BODY / 2.0 - CORNER
    dx = max(abs(x - SIZE / 2.0) - half, 0.0)
    dy = max(abs(y - SIZE / 2.0) - half, 0.0)
    inside = min(max(abs(x - SIZE / 2.0) - half, abs(y - SIZE / 2.0) - half), 0.0)
    return math.hypot(dx, dy) + inside - CORNER


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    vx, vy = bx - ax, by - ay
    t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - ax - t * vx, y - ay - t * vy)


def coverage(distance):
    """How much of a pixel a shape covers, from the signed distance of its centre to the edge."""
    return min(max(0.5 - distance, 0.0), 1.0)


def over(dst, rgb, alpha):
    return tuple(d + (c - d) * alpha for d, c in zip(dst, rgb))


def pixel(x, y):
    body = coverage(rounded_square_distance(x, y))
    if body <= 0.0:
        return (0, 0, 0, 0)
    t = (y - (SIZE - BODY) / 2.0) / BODY
    rgb = tuple(a + (b - a) * t for a, b in zip(TOP_BLUE, BOTTOM_BLUE))
    r = math.hypot(x - LIGHT_CENTRE[0], y - LIGHT_CENTRE[1])
    # The glow fades out around the light.
    if r < GLOW_RADIUS:
        rgb = over(rgb, AMBER, 0.35 * (1.0 - r / GLOW_RADIUS) ** 2)
    light = coverage(r - LIGHT_RADIUS)
    if light > 0.0:
        shade = over(AMBER, AMBER_EDGE, (r / LIGHT_RADIUS) ** 3)
        rgb = over(rgb, shade, light)
    check = min(segment_distance(x, y, CHECK[0], CHECK[1]), segment_distance(x, y, CHECK[1], CHECK[2]))
    mark = coverage(check - CHECK_HALF_WIDTH)
    if mark > 0.0:
        rgb = over(rgb, (255, 255, 255), mark)
    return tuple(int(round(c)) for c in rgb) + (int(round(255 * body)),)


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "Lanternquill.png")
    rows = []
    for y in range(SIZE):
        rows.append(bytes(v for x in range(SIZE) for v in pixel(x + 0.5, y + 0.5)))
    with open(out, "wb") as f:
        f.write(png(SIZE, SIZE, rows))


if __name__ == "__main__":
    main()
