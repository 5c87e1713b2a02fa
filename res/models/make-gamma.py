#!/usr/bin/env python3
"""Writes the preset gamma files of the DEMO-100 sample model.

cstrgb.gam:   a 2.2 power curve.
cstvideo.gam: a video curve with a linear toe near black (slope 1/4.5 up to 8.1 %, then a
              0.45-power segment), as video gear decodes its signal.
Both use the four-column layout: red, green, blue and the input position 4 x i, each
zero-padded to 8 digits, CR LF line ends. A control point is marked by adding 10000000 to a
line's level; the three channels carry the same curve and the same marks.
"""
import os
import sys

MARK = 10000000


def power22(x):
    return x ** 2.2


def video(x):
    if x < 0.081:
        return x / 4.5
    return ((x + 0.099) / 1.099) ** (1 / 0.45)


def write(path, curve, marks):
    lines = []
    for i in range(256):
        level = int(round(1023 * curve(i / 255)))
        level = max(0, min(1023, level))
        value = level + (MARK if i in marks else 0)
        lines.append("%08d,%08d,%08d,%08d\r\n" % (value, value, value, 4 * i))
    with open(path, "w", newline="") as out:
        out.write("".join(lines))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "DEMO-100")
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "cstrgb.gam"), power22, {0, 32, 64, 96, 128, 160, 192, 224, 255})
    write(os.path.join(folder, "cstvideo.gam"), video, {0, 10, 21, 48, 96, 160, 255})


if __name__ == "__main__":
    main()
