#!/usr/bin/env python3
"""Draws QUILLON's application icon and writes it as a Windows .ico file.

A contactless card: blue body, gold contact chip, the four-arc contactless
mark and two printed lines. Every image is rendered from the same shapes in
unit coordinates with 4x4 supersampling, so the small sizes are drawn for
their size rather than scaled down from the big one.

Images, in file order: 256x256 32-bit (PNG, as Windows expects at that size),
64x64 8-bit (palette and mask), 64x64 32-bit, 72x72 32-bit.

Standard library only. The generated file is committed, so a build never
needs to run this:  python3 tools/make-icon.py res/quillon.ico
"""

import math
import struct
import sys
import zlib

SUPERSAMPLE = 4


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def arc(cx, cy, radius, width, half_angle):
    def inside(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        if abs(d - radius) > width / 2:
            return False
        return abs(math.atan2(dy, dx)) <= half_angle
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def vertical_gradient(top, bottom, y0, y1):
    def colour(x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return colour


def solid(rgb):
    return lambda x, y: rgb


def hexrgb(s):
    return tuple(int(s[i:i + 2], 16) / 255.0 for i in (0, 2, 4))


CARD = (0.05, 0.22, 0.95, 0.80, 0.075)
CHIP = (0.15, 0.38, 0.37, 0.56, 0.035)
WAVE_CENTRE = (0.56, 0.47)

# Painter's order: each layer is (shape, colour function, opacity).
LAYERS = [
    (rounded_rect(0.07, 0.25, 0.97, 0.84, 0.075), solid((0, 0, 0)), 0.30),  # shadow
    (rounded_rect(*CARD), solid(hexrgb("143A80")), 1.0),  # rim
    (rounded_rect(CARD[0] + 0.012, CARD[1] + 0.012, CARD[2] - 0.012, CARD[3] - 0.012, 0.065),
     vertical_gradient(hexrgb("4C8DF0"), hexrgb("1E4FA8"), CARD[1], CARD[3]), 1.0),
    (rounded_rect(*CHIP), solid(hexrgb("8A6418")), 1.0),
    (rounded_rect(CHIP[0] + 0.01, CHIP[1] + 0.01, CHIP[2] - 0.01, CHIP[3] - 0.01, 0.028),
     vertical_gradient(hexrgb("FBE39A"), hexrgb("D19E33"), CHIP[1], CHIP[3]), 1.0),
    (rect(CHIP[0] + 0.01, 0.438, CHIP[2] - 0.01, 0.452), solid(hexrgb("9C7420")), 1.0),
    (rect(CHIP[0] + 0.01, 0.498, CHIP[2] - 0.01, 0.512), solid(hexrgb("9C7420")), 1.0),
    (rect(0.253, CHIP[1] + 0.01, 0.267, CHIP[3] - 0.01), solid(hexrgb("9C7420")), 1.0),
    (rect(0.15, 0.64, 0.58, 0.675), solid((1, 1, 1)), 0.75),
    (rect(0.15, 0.70, 0.42, 0.73), solid((1, 1, 1)), 0.55),
]
for i, radius in enumerate((0.07, 0.13, 0.19, 0.25)):
    LAYERS.append((arc(WAVE_CENTRE[0] + 0.02, WAVE_CENTRE[1], radius, 0.036, math.radians(48)),
                   solid(hexrgb("FFFFFF") if i < 3 else hexrgb("FFD166")), 1.0))


def render(size):
    """Returns rows of (r, g, b, a) tuples, each 0-255, top row first."""
    n = SUPERSAMPLE
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for sy in range(n):
                y = (py + (sy + 0.5) / n) / size
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    r = g = b = a = 0.0
                    for shape, colour, opacity in LAYERS:
                        if shape(x, y):
                            cr, cg, cb = colour(x, y)
                            r = cr * opacity + r * (1 - opacity)
                            g = cg * opacity + g * (1 - opacity)
                            b = cb * opacity + b * (1 - opacity)
                            a = opacity + a * (1 - opacity)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if alpha <= 0:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(min(255, round(c / (n * n) / alpha * 255)) for c in acc[:3])
                       + (round(alpha * 255),))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def and_mask(rows):
    # 1 = transparent. Rows bottom-up, each padded to 32 bits.
    size = len(rows)
    stride = (size + 31) // 32 * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def bmp_header(size, bpp, image_bytes, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, image_bytes, 0, 0, colours, 0)


def bmp32(rows):
    size = len(rows)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask = and_mask(rows)
    return bmp_header(size, 32, len(xor) + len(mask)) + xor + mask


def median_cut(pixels, count):
    boxes = [pixels]
    while len(boxes) < count:
        boxes.sort(key=lambda bx: max(max(p[c] for p in bx) - min(p[c] for p in bx) for c in range(3))
                   if len(bx) > 1 else -1)
        box = boxes.pop()
        if len(box) < 2:
            boxes.append(box)
            break
        channel = max(range(3), key=lambda c: max(p[c] for p in box) - min(p[c] for p in box))
        box.sort(key=lambda p: p[channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    return [tuple(round(sum(p[c] for p in bx) / len(bx)) for c in range(3)) for bx in boxes if bx]


def bmp8(rows):
    size = len(rows)
    opaque = [px[:3] for row in rows for px in row if px[3] >= 128]
    # Index 0 stays black for the transparent pixels the mask hides.
    palette = [(0, 0, 0)] + median_cut(opaque, 255)
    palette += [(0, 0, 0)] * (256 - len(palette))
    cache = {}

    def nearest(rgb):
        if rgb not in cache:
            cache[rgb] = min(range(1, 256), key=lambda i: sum((a - b) ** 2 for a, b in zip(rgb, palette[i])))
        return cache[rgb]

    stride = (size + 3) // 4 * 4
    xor = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            line[x] = nearest(px[:3]) if px[3] >= 128 else 0
        xor += bytes(line)
    mask = and_mask(rows)
    pal = b"".join(bytes((b, g, r, 0)) for (r, g, b) in palette)
    return bmp_header(size, 8, len(xor) + len(mask), 256) + pal + xor + mask


def main(path):
    images = [(256, 32, png(render(256)))]
    r64 = render(64)
    images += [(64, 8, bmp8(r64)), (64, 32, bmp32(r64)), (72, 32, bmp32(render(72)))]

    offset = 6 + 16 * len(images)
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, bpp, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "res/quillon.ico")
