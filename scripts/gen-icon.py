#!/usr/bin/env python3
"""Draws the application icon: an amber gear on a blue tile.

Writes resources/icons/quarvex.png (64 x 64, the one the program loads), the other
sizes installed into the hicolor theme, and resources/quarvex.ico, which holds a
single 64 x 64 24-bit image because that is what the Windows resource carries.

    python3 scripts/gen-icon.py
"""

import math
import os
import struct
import zlib

BLUE = (30, 58, 95)
AMBER = (242, 165, 22)
WHITE = (250, 250, 250)

TEETH = 10
TIP_R, BODY_R, HOLE_R, SHAFT_R = 25.0, 19.0, 9.0, 4.5  # in a 64-unit square


def colour_at(x, y):
    """Colour of the point (x, y) of the 64-unit square, or None outside the tile."""
    m, r = 2.0, 12.0
    cx = min(max(x, m + r), 64 - m - r)
    cy = min(max(y, m + r), 64 - m - r)
    if not (m <= x <= 64 - m and m <= y <= 64 - m) or math.hypot(x - cx, y - cy) > r:
        return None
    d = math.hypot(x - 32, y - 32)
    if d < SHAFT_R:
        return WHITE
    if d < HOLE_R:
        return BLUE
    if d <= BODY_R:
        return AMBER
    if d <= TIP_R:
        # Teeth narrow towards the tip.
        phase = (math.atan2(y - 32, x - 32) / (2 * math.pi) * TEETH + 0.25) % 1.0
        t = (d - BODY_R) / (TIP_R - BODY_R)
        half = 0.27 - 0.09 * t
        if abs(phase - 0.5) < half:
            return AMBER
    return BLUE


def render(size, samples=4):
    """RGBA rows, each pixel averaged over samples x samples points."""
    rows = []
    scale = 64.0 / size
    n = samples * samples
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) * scale,
                                  (py + (sy + 0.5) / samples) * scale)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                row.append((round(r / a), round(g / a), round(b / a), round(255 * a / n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(v for px in row for v in px) for row in rows)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def ico24(rows):
    """One 24-bit image; half-covered corner pixels go opaque over white, the rest clear."""
    size = len(rows)
    xor = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bottom-up
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            if a >= 128:
                k = a / 255.0
                xor += bytes(round(c * k + 255 * (1 - k)) for c in (b, g, r))
            else:
                xor += b"\x00\x00\x00"
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += b"\x00" * ((-size * 3) % 4)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + bytes(xor) + bytes(mask)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 24, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def main():
    res = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "resources")
    os.makedirs(os.path.join(res, "icons"), exist_ok=True)
    for size in (32, 48, 64, 128, 256):
        rows = render(size)
        name = "quarvex.png" if size == 64 else "quarvex-%d.png" % size
        with open(os.path.join(res, "icons", name), "wb") as f:
            f.write(png(rows))
        if size == 64:
            with open(os.path.join(res, "quarvex.ico"), "wb") as f:
                f.write(ico24(rows))


if __name__ == "__main__":
    main()
