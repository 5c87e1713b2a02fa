#!/usr/bin/env python3
"""Draws the bitmaps of the DEMO-100 tab forms (demo100/bitmaps/N.png, RGBA PNG). Standard
library only; shapes are drawn 4 x 4 supersampled so that their edges are smooth.

    make-bitmaps.py        writes demo100/bitmaps/1.png .. 4.png next to this script

 1  Picture tab: a sun in a rounded tile (brightness and colour)
 2  Input and audio tab: a video connector in a rounded tile
 3  Service tab: colour bars in a rounded tile
 4  Service tab: the four test patterns side by side (off, grey ramp, cross hatch, colour bars)
"""

import math
import os
import struct
import zlib

SS = 4  # supersampling per axis


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
                  + chunk(b"IEND", b""))


def render(width, height, paint):
    """paint(x, y) -> (r, g, b, a) at a point in pixel units; averaged over SS x SS samples."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = paint(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if alpha > 0:
                px = tuple(int(round(acc[i] / acc[3])) for i in range(3)) + (int(round(255 * alpha)),)
            else:
                px = (0, 0, 0, 0)
            row.append(px)
        rows.append(row)
    return rows


def in_rounded_rect(x, y, x0, y0, x1, y1, radius):
    cx = min(max(x, x0 + radius), x1 - radius)
    cy = min(max(y, y0 + radius), y1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def blend(top, bottom, t):
    return tuple(int(bottom[i] + (top[i] - bottom[i]) * t) for i in range(3))


def tile(x, y, size, top, bottom):
    """A rounded tile with a vertical gradient; None outside it."""
    if not in_rounded_rect(x, y, 1, 1, size - 1, size - 1, 7):
        return None
    return blend(bottom, top, y / size) + (1.0,)


def picture_icon(x, y):
    size = 40
    base = tile(x, y, size, (255, 178, 60), (214, 96, 24))
    if base is None:
        return (0, 0, 0, 0)
    dx, dy = x - 20, y - 20
    r = math.hypot(dx, dy)
    if r <= 7:
        return (255, 252, 230, 1.0)
    angle = math.atan2(dy, dx)
    ray = abs(math.sin(4 * angle))  # eight rays
    if 9.5 <= r <= 14.5 and ray < 0.22:
        return (255, 244, 200, 1.0)
    return base


def input_icon(x, y):
    size = 40
    base = tile(x, y, size, (92, 150, 232), (38, 84, 170))
    if base is None:
        return (0, 0, 0, 0)
    # Connector plug: a trapezoid with a dark slot and a cable below.
    top, bottom = 11, 22
    if top <= y <= bottom:
        inset = (y - top) * 0.35
        if 7 + inset <= x <= 33 - inset:
            if 13 <= y <= 17 and 11 + inset <= x <= 29 - inset:
                return (30, 50, 90, 1.0)
            return (240, 244, 250, 1.0)
    if 22 <= y <= 32 and 17.5 <= x <= 22.5:
        return (240, 244, 250, 1.0)
    return base


BARS = [(235, 235, 235), (235, 235, 40), (40, 225, 225), (40, 210, 40), (225, 40, 225),
        (225, 40, 40), (40, 40, 225)]


def service_icon(x, y):
    size = 40
    base = tile(x, y, size, (120, 130, 146), (62, 70, 84))
    if base is None:
        return (0, 0, 0, 0)
    if 8 <= x <= 32 and 9 <= y <= 31:
        if y <= 25:
            return BARS[min(int((x - 8) / (24 / 7)), 6)] + (1.0,)
        shade = int(20 + 200 * (x - 8) / 24)
        return (shade, shade, shade, 1.0)
    return base


PATTERN_W, PATTERN_H, PATTERN_GAP = 34, 24, 6


def patterns_strip(x, y):
    i = int(x // (PATTERN_W + PATTERN_GAP))
    px = x - i * (PATTERN_W + PATTERN_GAP)
    if i > 3 or px > PATTERN_W:
        return (0, 0, 0, 0)
    if px < 1 or y < 1 or px > PATTERN_W - 1 or y > PATTERN_H - 1:
        return (90, 96, 108, 1.0)  # frame
    u, v = (px - 1) / (PATTERN_W - 2), (y - 1) / (PATTERN_H - 2)
    if i == 0:
        return (16, 16, 20, 1.0)
    if i == 1:
        g = int(255 * u)
        return (g, g, g, 1.0)
    if i == 2:
        line = (px - 1) % 6 < 1 or (y - 1) % 6 < 1
        return (235, 235, 235, 1.0) if line else (16, 16, 20, 1.0)
    return BARS[min(int(u * 7), 6)] + (1.0,)


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "demo100", "bitmaps")
    os.makedirs(folder, exist_ok=True)
    strip_w = 4 * PATTERN_W + 3 * PATTERN_GAP
    for number, (w, h, paint) in {1: (40, 40, picture_icon), 2: (40, 40, input_icon),
                                  3: (40, 40, service_icon),
                                  4: (strip_w, PATTERN_H, patterns_strip)}.items():
        write_png(os.path.join(folder, "%d.png" % number), w, h, render(w, h, paint))


if __name__ == "__main__":
    main()
