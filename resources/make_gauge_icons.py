#!/usr/bin/env python3
"""Draws the gauge stars of the plan dialogs, 16x16 and 32x32, 32-bit with alpha:
resource 515 (gauge_on.ico) a lit gold star, 514 (gauge_off.ico) an unlit star (white with a
grey rim), 534 (gauge_none.ico) a flat pale-grey star for a plan whose rating is unknown.
Run once; the .ico files are committed."""
import math
import os

from make_icon import inside_polygon, render_samples, write_ico

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


OUTER = star_points()
# The fill: the same star drawn smaller about its centre, leaving the rim around it.
FILL = [(0.5 + (px - 0.5) * (1 - 2 * RIM), 0.53 + (py - 0.53) * (1 - 2 * RIM)) for px, py in OUTER]


def render(size, fill, rim):
    def sample(x, y):
        if not inside_polygon(x, y, OUTER):
            return None
        return fill if inside_polygon(x, y, FILL) else rim
    return render_samples(size, sample)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, (fill, rim) in STARS.items():
        write_ico(os.path.join(here, 'gauge', name), [(s, render(s, fill, rim)) for s in (16, 32)])


if __name__ == '__main__':
    main()
