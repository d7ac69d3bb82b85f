#!/usr/bin/env python3
"""Draws the plan icons of the notification area, the menus, the plan dialogs and the mode
notification windows, the current-plan mark and the notification background, and prints the
resource lines that bind them to their ids.

Every plan icon number (0-4, 7-11, plus the two spare rows) has its own shape and colour:
  tray/plan_<key>.ico            16x16 and 32x32, standard tray-and-menu and dialog icon
  tray/plan_<key>_m<n>.ico       the same with the mode number n (1-3) in a badge (ECO variant)
  tray/osd_<key>_<state>_m<n>.ico 80x80 and 32x32 notification icons; state n(ormal),
                                 s(elected) or u(navailable); badge with mode number n
  tray/mark.ico                  current-plan mark (16x16)
  tray/osd_back.bmp              386x138 notification background (24-bit)
Run once (python3 resources/make_tray_icons.py); the files are committed."""
import math
import os
import struct
import sys

import make_icon
from make_icon import inside_polygon, render_samples

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, 'tray')
SUPERSAMPLE = 3

# key -> (shape, colour)
DESIGNS = {
    0: ('circle', (30, 110, 220)),
    1: ('leaf', (40, 160, 70)),
    2: ('square', (235, 140, 30)),
    3: ('diamond', (140, 70, 190)),
    4: ('plus', (210, 50, 50)),
    5: ('ring', (120, 120, 120)),
    6: ('ring', (90, 90, 160)),
    7: ('ring', (20, 150, 150)),
    8: ('bolt', (230, 180, 20)),
    9: ('triangle', (200, 60, 140)),
    10: ('plug', (70, 100, 140)),
    11: ('hexagon', (100, 150, 40)),
}

DIGITS = {
    1: ('.#.', '##.', '.#.', '.#.', '###'),
    2: ('###', '..#', '###', '#..', '###'),
    3: ('###', '..#', '###', '..#', '###'),
}


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def shape_hit(shape, x, y):
    """Coverage of the point (unit square, y down): 'body', 'edge' or None."""
    cx, cy = x - 0.5, y - 0.5
    r = math.hypot(cx, cy)
    edge = 0.07
    if shape == 'circle':
        return 'edge' if 0.42 - edge < r <= 0.42 else ('body' if r <= 0.42 else None)
    if shape == 'ring':
        if 0.2 <= r <= 0.42:
            return 'edge' if r > 0.42 - edge or r < 0.2 + edge else 'body'
        return None
    if shape == 'square':
        m = max(abs(cx), abs(cy))
        return 'edge' if 0.38 - edge < m <= 0.38 else ('body' if m <= 0.38 else None)
    if shape == 'diamond':
        m = abs(cx) + abs(cy)
        return 'edge' if 0.46 - edge * 1.4 < m <= 0.46 else ('body' if m <= 0.46 else None)
    if shape == 'plus':
        if (abs(cx) <= 0.14 and abs(cy) <= 0.42) or (abs(cy) <= 0.14 and abs(cx) <= 0.42):
            inner = (abs(cx) <= 0.14 - edge and abs(cy) <= 0.42 - edge) or \
                    (abs(cy) <= 0.14 - edge and abs(cx) <= 0.42 - edge)
            return 'body' if inner else 'edge'
        return None
    if shape == 'leaf':
        a = math.radians(45)
        u = (cx * math.cos(a) - cy * math.sin(a)) / 0.92 + 0.5
        v = cx * math.sin(a) + cy * math.cos(a)
        if not 0.0 <= u <= 1.0:
            return None
        hw = 0.26 * math.sin(math.pi * u) ** 0.9
        if abs(v) > hw:
            return None
        return 'edge' if abs(v) > hw - edge or abs(v) < 0.025 else 'body'
    if shape == 'bolt':
        pts = [(0.58, 0.06), (0.22, 0.56), (0.46, 0.56), (0.38, 0.94), (0.78, 0.40), (0.54, 0.40), (0.66, 0.06)]
        if inside_polygon(x, y, pts):
            d = min(seg_dist(x, y, *pts[i], *pts[(i + 1) % len(pts)]) for i in range(len(pts)))
            return 'edge' if d < edge * 0.7 else 'body'
        return None
    if shape == 'triangle':
        pts = [(0.5, 0.08), (0.92, 0.86), (0.08, 0.86)]
        if inside_polygon(x, y, pts):
            d = min(seg_dist(x, y, *pts[i], *pts[(i + 1) % 3]) for i in range(3))
            return 'edge' if d < edge else 'body'
        return None
    if shape == 'hexagon':
        pts = [(0.5 + 0.44 * math.cos(math.radians(60 * k + 30)), 0.5 + 0.44 * math.sin(math.radians(60 * k + 30)))
               for k in range(6)]
        if inside_polygon(x, y, pts):
            d = min(seg_dist(x, y, *pts[i], *pts[(i + 1) % 6]) for i in range(6))
            return 'edge' if d < edge else 'body'
        return None
    if shape == 'plug':
        # a rounded body with two prongs on top
        if 0.3 <= y <= 0.85 and abs(cx) <= 0.3:
            corner = max(0.0, abs(cx) - 0.18), max(0.0, y - 0.73)
            if math.hypot(*corner) > 0.12:
                return None
            if abs(cx) > 0.3 - edge or y > 0.85 - edge or y < 0.3 + edge or math.hypot(*corner) > 0.12 - edge:
                return 'edge'
            return 'body'
        if 0.08 <= y < 0.3 and (abs(cx - 0.13) <= 0.05 or abs(cx + 0.13) <= 0.05):
            return 'edge'
        if 0.85 < y <= 0.96 and abs(cx) <= 0.06:
            return 'edge'
        return None
    raise ValueError(shape)


def darker(c, f=0.62):
    return tuple(int(v * f) for v in c)


def lighter(c, f=0.55):
    return tuple(int(v + (255 - v) * f) for v in c)


def grey(c):
    g = int(0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2])
    g = 150 + (g - 128) // 4
    return (g, g, g)


def badge_hit(digit, x, y, size):
    """The mode-number badge in the lower right: 'badge', 'digit' or None."""
    if digit is None:
        return None
    # Badge box: right 55% x 55% bottom corner, rounded.
    bx0, by0 = 0.44, 0.44
    if x < bx0 or y < by0:
        return None
    lx, ly = (x - bx0) / (1 - bx0), (y - by0) / (1 - by0)
    rad = math.hypot(max(0.0, abs(lx - 0.5) - 0.32), max(0.0, abs(ly - 0.5) - 0.32))
    if rad > 0.18:
        return None
    # 3x5 glyph centred in the badge
    gx = (lx - 0.2) / 0.6 * 3
    gy = (ly - 0.1) / 0.8 * 5
    if 0 <= gx < 3 and 0 <= gy < 5 and DIGITS[digit][int(gy)][int(gx)] == '#':
        return 'digit'
    return 'badge'


def render(size, sample):
    return render_samples(size, sample, SUPERSAMPLE if size > 16 else 4)


def plan_sampler(key, digit, size, state='n', ring=False):
    shape, colour = DESIGNS[key]
    if state == 'u':
        colour = grey(colour)
    elif state == 'n' and ring:
        colour = lighter(colour, 0.25)
    body, edge = colour, darker(colour)
    badge_colour = (40, 40, 40) if state != 'u' else (120, 120, 120)

    def sample(x, y):
        b = badge_hit(digit, x, y, size)
        if b == 'digit':
            return (255, 255, 255)
        if b == 'badge':
            return badge_colour
        if ring:
            r = math.hypot(x - 0.5, y - 0.5)
            if state == 's' and 0.455 <= r <= 0.5:
                return (255, 200, 0)
            # the shape sits inside the ring
            x, y = (x - 0.5) / 0.86 + 0.5, (y - 0.5) / 0.86 + 0.5
        hit = shape_hit(shape, x, y)
        if hit == 'body':
            return body
        if hit == 'edge':
            return edge
        return None
    return sample


def mark_sampler(x, y):
    # a check mark
    pts = [(0.16, 0.52), (0.40, 0.76), (0.84, 0.24)]
    d = min(seg_dist(x, y, *pts[0], *pts[1]), seg_dist(x, y, *pts[1], *pts[2]))
    return (20, 20, 20) if d < 0.09 else None


def write_ico(name, images):
    make_icon.write_ico(os.path.join(OUT, name), images)


def write_background(name, width, height):
    row_bytes = (width * 3 + 3) & ~3
    data = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            if x == 0 or y == 0 or x == width - 1 or y == height - 1:
                c = (90, 110, 140)
            else:
                t = y / (height - 1)
                c = (int(250 - 18 * t), int(252 - 12 * t), 255)
            row += bytes((c[2], c[1], c[0]))
        row += bytes(row_bytes - len(row))
        data += row
    header = struct.pack('<2sIHHI', b'BM', 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(os.path.join(OUT, name), 'wb') as f:
        f.write(header + info + data)


def main():
    os.makedirs(OUT, exist_ok=True)
    for key in DESIGNS:
        write_ico('plan_%d.ico' % key, [(s, render(s, plan_sampler(key, None, s))) for s in (16, 32)])
        for m in (1, 2, 3):
            write_ico('plan_%d_m%d.ico' % (key, m),
                      [(s, render(s, plan_sampler(key, m, s))) for s in (16, 32)])
            for state in 'nsu':
                write_ico('osd_%d_%s_m%d.ico' % (key, state, m),
                          [(s, render(s, plan_sampler(key, m, s, state, ring=True))) for s in (80, 32)])
    write_ico('mark.ico', [(16, render(16, mark_sampler)), (32, render(32, mark_sampler))])
    write_background('osd_back.bmp', 386, 138)
    print('done', file=sys.stderr)


if __name__ == '__main__':
    main()
