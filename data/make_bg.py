#!/usr/bin/env python3
"""Draws the start-screen picture bg.jpg (500 x 270).

A calm navy-to-steel-blue wash with a soft peach glow on the left, where a few
letters drop into a funnel: mail passing through the screen before it reaches
the mail program. The right half stays dark and quiet for the white and red
texts of the start screen, and so does the bottom-left corner for its notice line.

Only the Python standard library is used; it writes a binary PPM. The JPEG
that ships is made from it with ImageMagick and committed:

    python3 data/make_bg.py /tmp/bg.ppm && convert /tmp/bg.ppm -quality 90 data/bg.jpg
"""

import math
import sys

W, H = 500, 270
NAVY = (14, 26, 66)
STEEL = (58, 92, 150)
PEACH = (255, 220, 193)
WHITE = (255, 255, 255)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smooth(t):
    t = clamp(t)
    return t * t * (3 - 2 * t)


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def poly_sd(px, py, pts):
    """Signed distance to a closed polygon, negative inside."""
    d = min(seg_dist(px, py, *pts[i], *pts[(i + 1) % len(pts)]) for i in range(len(pts)))
    inside = False
    j = len(pts) - 1
    for i in range(len(pts)):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return -d if inside else d


def fill_cov(sd):
    return clamp(0.5 - sd)


def stroke_cov(dist, width):
    return clamp(0.5 - (dist - width / 2))


def rotate(pts, cx, cy, deg):
    a = math.radians(deg)
    c, s = math.cos(a), math.sin(a)
    return [(cx + (x - cx) * c - (y - cy) * s, cy + (x - cx) * s + (y - cy) * c) for x, y in pts]


class Envelope:
    def __init__(self, cx, cy, w, h, angle, alpha):
        x0, y0, x1, y1 = cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2
        self.body = rotate([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], cx, cy, angle)
        # The flap: two lines from the top corners to a point below the middle.
        tip = rotate([(cx, cy + h * 0.12)], cx, cy, angle)[0]
        self.flap = [(self.body[0], tip), (tip, self.body[1])]
        self.alpha = alpha
        r = math.hypot(w, h) / 2 + 2
        self.box = (cx - r, cy - r, cx + r, cy + r)

    def paint(self, px, py, color):
        if not (self.box[0] <= px <= self.box[2] and self.box[1] <= py <= self.box[3]):
            return color
        sd = poly_sd(px, py, self.body)
        cov = fill_cov(sd)
        if cov > 0:
            color = mix(color, PEACH, cov * self.alpha)
        edge = stroke_cov(abs(sd), 1.2)
        lines = max(stroke_cov(seg_dist(px, py, *a, *b), 1.2) for a, b in self.flap) * cov
        ink = max(edge, lines)
        if ink > 0:
            color = mix(color, NAVY, ink * 0.85 * self.alpha)
        return color


FUNNEL = [(38, 112), (162, 112), (110, 176), (110, 214), (90, 214), (90, 176)]
ENVELOPES = [
    Envelope(72, 46, 42, 28, -14, 0.95),
    Envelope(128, 30, 38, 25, 11, 0.9),
    Envelope(102, 82, 36, 24, -4, 1.0),
    Envelope(168, 66, 26, 17, 20, 0.55),
    Envelope(36, 84, 24, 16, -24, 0.5),
]


def background(x, y):
    # Steel blue at the left, navy towards the right and the bottom.
    t = smooth(x / (W * 0.85)) * 0.8 + smooth(y / H) * 0.35
    color = mix(STEEL, NAVY, clamp(t))
    # A soft peach glow behind the funnel.
    g = math.exp(-(((x - 100) / 120) ** 2 + ((y - 105) / 95) ** 2) * 1.6)
    color = mix(color, PEACH, g * 0.42)
    # A faint dome of light across the dark side, between the maker's name and the program name.
    arc = abs(math.hypot(x - 350, y - 725) - 600)
    color = mix(color, PEACH, math.exp(-(arc / 2.2) ** 2) * 0.22 * smooth((x - 185) / 90) * smooth((498 - x) / 40))
    # A little darker at the bottom-left, for the notice line.
    color = mix(color, NAVY, smooth((y - 225) / 30) * smooth((230 - x) / 60) * 0.5)
    return color


def pixel(x, y):
    px, py = x + 0.5, y + 0.5
    color = background(px, py)
    if 30 <= px <= 170 and 104 <= py <= 222:
        sd = poly_sd(px, py, FUNNEL)
        cov = fill_cov(sd)
        if cov > 0:
            color = mix(color, WHITE, cov * 0.16)
        color = mix(color, PEACH, stroke_cov(abs(sd), 1.6) * 0.9)
    for env in ENVELOPES:
        color = env.paint(px, py, color)
    return color


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "bg.ppm"
    data = bytearray()
    for y in range(H):
        for x in range(W):
            data.extend(int(round(clamp(c, 0, 255))) for c in pixel(x, y))
    with open(out, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (W, H))
        f.write(data)


if __name__ == "__main__":
    main()
