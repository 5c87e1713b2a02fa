#!/usr/bin/env python3
"""Draws the bundle's pictures: the start-up bitmap 189 (an 8-bit palettized BMP) and the
program icon 128 (a PNG). Standard library only.

    make_images.py OUTPUT_DIR   writes OUTPUT_DIR/bitmaps/189.bmp and OUTPUT_DIR/icons/128.png
"""

import math
import os
import struct
import sys
import zlib

# --- start-up bitmap -------------------------------------------------------------------------

WIDTH, HEIGHT = 480, 270


def palette():
    """256 colours: 0..127 a blue-grey ramp for the background, 128..223 the red, green and blue
    ramps of the curves (32 each), 224..255 greys and a few accents."""
    pal = []
    for i in range(128):  # background: deep navy to slate
        t = i / 127.0
        pal.append((int(18 + 40 * t), int(26 + 52 * t), int(44 + 78 * t)))
    for base in ((255, 80, 70), (90, 220, 110), (80, 150, 255)):
        for i in range(32):
            t = 0.35 + 0.65 * i / 31.0
            pal.append(tuple(int(c * t) for c in base))
    for i in range(32):
        g = int(60 + 195 * i / 31.0)
        pal.append((g, g, g))
    assert len(pal) == 256
    return pal


def draw_startup():
    pix = [[0] * WIDTH for _ in range(HEIGHT)]
    # Vertical gradient background.
    for y in range(HEIGHT):
        v = int(127 * (1.0 - y / (HEIGHT - 1)) * 0.8 + 10)
        row = pix[y]
        for x in range(WIDTH):
            row[x] = v
    # Graph frame and grid (greys).
    gx0, gy0, gx1, gy1 = 40, 30, 300, 240
    grid = 224 + 8
    for k in range(5):
        x = gx0 + (gx1 - gx0) * k // 4
        y = gy0 + (gy1 - gy0) * k // 4
        for yy in range(gy0, gy1 + 1):
            pix[yy][x] = grid
        for xx in range(gx0, gx1 + 1):
            pix[y][xx] = grid
    # Three gamma curves, thick.
    for ch, gamma in enumerate((2.6, 2.2, 1.8)):
        colour = 128 + 32 * ch + 31
        prev = None
        for xx in range(gx0, gx1 + 1):
            t = (xx - gx0) / (gx1 - gx0)
            yy = int(gy1 - (gy1 - gy0) * t ** (1.0 / gamma))
            pts = [(xx, yy)]
            if prev is not None:
                lo, hi = sorted((prev, yy))
                pts = [(xx, v) for v in range(lo, hi + 1)]
            for px, py in pts:
                for dx in (-1, 0, 1):
                    for dy in (-1, 0, 1):
                        if gy0 <= py + dy <= gy1 and gx0 <= px + dx <= gx1:
                            pix[py + dy][px + dx] = colour
            prev = yy
    # Colour bars on the right: red, green, blue ramps and a grey ramp.
    bx0, bx1 = 330, 450
    bars = [(128, 32), (160, 32), (192, 32), (224, 32)]
    for i, (first, count) in enumerate(bars):
        y0 = gy0 + i * 54
        for y in range(y0, y0 + 42):
            for x in range(bx0, bx1):
                pix[y][x] = first + (x - bx0) * count // (bx1 - bx0)
    return pix


def write_bmp(path, pix, pal):
    """A bottom-up 8-bit BMP with a 256-entry colour table; rows padded to 4 bytes."""
    height = len(pix)
    width = len(pix[0])
    stride = (width + 3) & ~3
    image = bytearray()
    for y in range(height - 1, -1, -1):
        image += bytes(pix[y]) + b"\0" * (stride - width)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in pal)
    offset = 14 + 40 + len(table)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(image), 2835, 2835, 256, 0)
    head = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + table + image)


# --- icon ------------------------------------------------------------------------------------

ICON = 64


def draw_icon():
    rgba = bytearray()
    for y in range(ICON):
        rgba.append(0)  # PNG filter type of the row
        for x in range(ICON):
            # Rounded square with a navy gradient.
            r = 12
            cx = min(max(x, r), ICON - 1 - r)
            cy = min(max(y, r), ICON - 1 - r)
            inside = (x - cx) ** 2 + (y - cy) ** 2 <= r * r
            if not inside:
                rgba += bytes((0, 0, 0, 0))
                continue
            t = y / (ICON - 1)
            col = [int(30 + 30 * (1 - t)), int(44 + 50 * (1 - t)), int(80 + 90 * (1 - t))]
            # Three curves through the square.
            for ch, gamma in enumerate((2.4, 1.9, 1.4)):
                u = (x - 8) / (ICON - 17)
                if 0.0 <= u <= 1.0:
                    cy2 = (ICON - 9) - (ICON - 17) * u ** (1.0 / gamma)
                    if abs(y - cy2) < 2.2:
                        col = [(255, 90, 80), (100, 230, 120), (90, 160, 255)][ch]
                        col = list(col)
            rgba += bytes(col + [255])
    return bytes(rgba)


def write_png(path, raw, size):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1]
    os.makedirs(os.path.join(out, "bitmaps"), exist_ok=True)
    os.makedirs(os.path.join(out, "icons"), exist_ok=True)
    write_bmp(os.path.join(out, "bitmaps", "189.bmp"), draw_startup(), palette())
    write_png(os.path.join(out, "icons", "128.png"), draw_icon(), ICON)


if __name__ == "__main__":
    main()
