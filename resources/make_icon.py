#!/usr/bin/env python3
"""Draws the program icon (resource 363): a green leaf with a light vein, 16x16 and 32x32,
32-bit with alpha, written as solvane.ico. Run once; the .ico is committed."""
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


def render(size):
    global EDGE_W, SIDE_VEINS
    EDGE_W = 0.06 if size >= 32 else 0.09       # a rim of about one pixel either way
    SIDE_VEINS = size >= 32                     # too fine for 16 pixels
    pixels = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(n):
                for sx in range(n):
                    c = leaf_sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        r += c[0]; g += c[1]; b += c[2]; a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / (n * n))))
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    return pixels


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


def main():
    sizes = (16, 32)
    images = [dib(s, render(s)) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'solvane.ico')
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
