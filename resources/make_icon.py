#!/usr/bin/env python3
"""Draws the program icon (resource 363): a green leaf with a light vein, 16x16 and 32x32,
32-bit with alpha, written as solvane.ico. Run once; the .ico is committed.
Also the helpers of the other icon scripts: polygon test, supersampled drawing, .ico writing."""
import math
import os
import struct

SUPERSAMPLE = 4
LEAF = (46, 160, 67)       # body
EDGE = (24, 105, 44)       # rim
VEIN = (214, 240, 200)     # midrib and side veins


EDGE_W = 0.06
SIDE_VEINS = True


def leaf_sample(x, y):
    """Colour and coverage of one point in the unit square (0..1, y down)."""
    # Leaf axis from lower left to upper right; u along the axis, v across it.
    cx, cy = x - 0.5, y - 0.5
    angle = math.radians(45)
    u = (cx * math.cos(angle) - cy * math.sin(angle)) / 0.92 + 0.5   # 0 at stem, 1 at tip
    v = (cx * math.sin(angle) + cy * math.cos(angle))
    if u < 0.0 or u > 1.0:
        # the stem: a short stroke beyond the leaf's base
        if -0.14 < u < 0.0 and abs(v) < 0.04:
            return EDGE
        return None
    half_width = 0.24 * math.sin(math.pi * u) ** 0.9
    if abs(v) > half_width:
        return None
    if abs(v) > half_width - EDGE_W:
        return EDGE
    if abs(v) < 0.025 and u < 0.93:
        return VEIN
    for base in ((0.25, 0.45, 0.65) if SIDE_VEINS else ()):          # side veins running towards the tip
        if 0.02 < abs(v) < half_width - EDGE_W and abs((u - base) - abs(v) * 0.9) < 0.025:
            return VEIN
    return LEAF


def inside_polygon(x, y, pts):
    """Even-odd test of the point against the polygon's corners."""
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def render_samples(size, sample, n=SUPERSAMPLE):
    """Pixels (r, g, b, a) of a size x size image: each the mean of n x n samples of
    sample(x, y) over the unit square (y down), which gives a colour or None (transparent)."""
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    c = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        r += c[0]; g += c[1]; b += c[2]; a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


def render(size):
    global EDGE_W, SIDE_VEINS
    EDGE_W = 0.06 if size >= 32 else 0.09       # a rim of about one pixel either way
    SIDE_VEINS = size >= 32                     # too fine for 16 pixels
    return render_samples(size, leaf_sample)


def dib(size, pixels):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(struct.pack('<BBBB', b, g, r, a)
                   for row in reversed(pixels) for (r, g, b, a) in row)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    return header + xor + bytes(and_mask)


def write_ico(path, images):
    """Writes the (size, pixels) images as one .ico file of 32-bit images."""
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    blobs = [dib(s, p) for s, p in images]
    for (s, _), data in zip(images, blobs):
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(blobs)
    with open(path, 'wb') as f:
        f.write(out)


def main():
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'solvane.ico')
    write_ico(path, [(s, render(s)) for s in (16, 32)])


if __name__ == '__main__':
    main()
