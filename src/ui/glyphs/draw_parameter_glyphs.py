#!/usr/bin/env python3
"""Draws the parameters page's 16 x 16 button glyphs, each with its disabled look.

    python3 draw_parameter_glyphs.py      # writes the PNGs beside this script

Only the standard library is used: shapes are sampled 4 x 4 per pixel for smooth edges,
and the PNGs are written by hand.
"""
import math
import os
import struct
import zlib

SIZE = 16
SUB = 4  # samples per pixel and axis


def write_png(path, pixels):
    """pixels: SIZE rows of SIZE (r, g, b, a) tuples."""
    raw = b''.join(b'\x00' + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body))

    header = struct.pack('>IIBBBBB', SIZE, SIZE, 8, 6, 0, 0, 0)
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def render(layers):
    """layers: (inside(x, y) -> bool, (r, g, b)) painted in order over a transparent ground."""
    rows = []
    for py in range(SIZE):
        row = []
        for px in range(SIZE):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(SUB):
                for sx in range(SUB):
                    x = px + (sx + 0.5) / SUB
                    y = py + (sy + 0.5) / SUB
                    colour = None
                    for inside, rgb in layers:
                        if inside(x, y):
                            colour = rgb
                    if colour:
                        acc = [acc[0] + colour[0], acc[1] + colour[1], acc[2] + colour[2], acc[3] + 1]
            n = SUB * SUB
            a = acc[3] / n
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(a * 255),))
        rows.append(row)
    return rows


def disabled(pixels):
    """The classic disabled look: the dark parts of the picture in grey over a white copy
    moved one pixel right and down; the light parts drop out."""
    def dark(px):
        r, g, b, a = px
        return a >= 64 and 0.30 * r + 0.59 * g + 0.11 * b < 160

    out = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    for y in range(SIZE - 1):
        for x in range(SIZE - 1):
            if dark(pixels[y][x]):
                out[y + 1][x + 1] = (255, 255, 255, pixels[y][x][3])
    for y in range(SIZE):
        for x in range(SIZE):
            if dark(pixels[y][x]):
                out[y][x] = (128, 128, 128, pixels[y][x][3])
    return out


# Reset: a ring open at the top, its arrow head pointing into the gap counter-clockwise.
CX, CY, R_IN, R_OUT = 8.0, 8.5, 3.6, 6.0
GAP = (45, 110)  # degrees, counter-clockwise from the right


def ring(x, y):
    d = math.hypot(x - CX, y - CY)
    angle = math.degrees(math.atan2(CY - y, x - CX)) % 360
    return R_IN <= d <= R_OUT and not (GAP[0] <= angle <= GAP[1])


def triangle(a, b, c):
    def side(p, q, x, y):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])

    def inside(x, y):
        s1, s2, s3 = side(a, b, x, y), side(b, c, x, y), side(c, a, x, y)
        return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)
    return inside


def arrow_head():
    t = math.radians(GAP[0])
    mid = (R_IN + R_OUT) / 2
    end = (CX + mid * math.cos(t), CY - mid * math.sin(t))
    out = (math.cos(t), -math.sin(t))         # away from the centre, image coordinates
    ahead = (-math.sin(t), -math.cos(t))      # counter-clockwise on the screen
    return triangle((end[0] + 3.3 * out[0], end[1] + 3.3 * out[1]),
                    (end[0] - 3.3 * out[0], end[1] - 3.3 * out[1]),
                    (end[0] + 3.8 * ahead[0], end[1] + 3.8 * ahead[1]))


RESET = [(ring, (176, 16, 16)), (arrow_head(), (176, 16, 16))]


# Fault list: a sheet with lines of text and a red mark at the first line.
def sheet_edge(x, y):
    return 2 <= x < 14 and 0.5 <= y < 15.5


def sheet(x, y):
    return 3 <= x < 13 and 1.5 <= y < 14.5


def text_lines(x, y):
    return 6.5 <= x < 11.5 and any(l <= y < l + 1 for l in (4, 7, 10)) or \
        4.5 <= x < 9.5 and 12 <= y < 13


def mark(x, y):
    return math.hypot(x - 5.0, y - 4.5) <= 1.3 or math.hypot(x - 5.0, y - 7.5) <= 1.3


FAULTS = [(sheet_edge, (32, 32, 96)), (sheet, (255, 255, 240)), (text_lines, (32, 32, 96)),
          (mark, (220, 0, 0))]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, layers in (('reset_ecu', RESET), ('fault_list', FAULTS)):
        pixels = render(layers)
        write_png(os.path.join(here, name + '.png'), pixels)
        write_png(os.path.join(here, name + '-disabled.png'), disabled(pixels))


if __name__ == '__main__':
    main()
