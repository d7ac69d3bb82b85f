#!/usr/bin/env python3
"""Draws the gauge stars of the plan dialogs, 16x16 and 32x32, 32-bit with alpha:
resource 515 (gauge_on.ico) a lit gold star, 514 (gauge_off.ico) an unlit star (white with a
grey rim), 534 (gauge_none.ico) a flat pale-grey star for a plan whose rating is unknown.
Run once; the .ico files are committed."""
import math
import os

from make_icon import SUPERSAMPLE, dib
import struct

STARS = {
    'gauge_on.ico': ((250, 190, 20), (190, 110, 0)),      # fill, rim
    'gauge_off.ico': ((255, 255, 255), (110, 110, 110)),
    'gauge_none.ico': ((200, 200, 200), (200, 200, 200)),
}
RIM = 0.09


def star_points(inner=0.42):
    points = []
    for i in range(10):
        angle = math.radians(-90 + 36 * i)
        r = 0.48 if i % 2 == 0 else 0.48 * inner
        points.append((0.5 + r * math.cos(angle), 0.53 + r * math.sin(angle)))
    return points


def inside(points, x, y):
    hit = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


OUTER = star_points()
# The fill: the same star drawn smaller about its centre, leaving the rim around it.
FILL = [(0.5 + (px - 0.5) * (1 - 2 * RIM), 0.53 + (py - 0.53) * (1 - 2 * RIM)) for px, py in OUTER]


def render(size, fill, rim):
    n = SUPERSAMPLE
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    if not inside(OUTER, x, y):
                        continue
                    c = fill if inside(FILL, x, y) else rim
                    r += c[0]; g += c[1]; b += c[2]; a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    sizes = (16, 32)
    for name, (fill, rim) in STARS.items():
        images = [dib(s, render(s, fill, rim)) for s in sizes]
        out = struct.pack('<HHH', 0, 1, len(sizes))
        offset = 6 + 16 * len(sizes)
        for s, data in zip(sizes, images):
            out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
            offset += len(data)
        out += b''.join(images)
        with open(os.path.join(here, 'gauge', name), 'wb') as f:
            f.write(out)


if __name__ == '__main__':
    main()
