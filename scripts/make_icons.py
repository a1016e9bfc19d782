#!/usr/bin/env python3
"""Draws the three icons of the desktop programs (resources/icons/*.ico).

program.ico  the program: a stack of two pages with text lines on a blue tile
text.ico     a list entry for a file: a page with a folded corner and lines
folder.ico   a list entry for a folder

Each icon holds 48, 32 and 16 pixel images, 32-bit with alpha and a mask.
The .ico files are kept in the repository; run this only to change them.
"""
import os
import struct
import sys


def blend(dst, src):
    a = src[3] / 255.0
    if a <= 0:
        return dst
    da = dst[3] / 255.0
    oa = a + da * (1 - a)
    if oa <= 0:
        return (0, 0, 0, 0)
    return tuple(int(round((src[i] * a + dst[i] * da * (1 - a)) / oa)) for i in range(3)) + (int(round(oa * 255)),)


class Canvas:
    def __init__(self, n):
        self.n = n
        self.px = [[(0, 0, 0, 0)] * n for _ in range(n)]

    def rect(self, x0, y0, x1, y1, colour):
        """Fills the rectangle [x0, x1) x [y0, y1) given in 0..1 units."""
        n = self.n
        for y in range(n):
            for x in range(n):
                # Coverage by 4x4 subsamples, for smooth edges at every size.
                hits = 0
                for sy in range(4):
                    for sx in range(4):
                        u = (x + (sx + 0.5) / 4) / n
                        v = (y + (sy + 0.5) / 4) / n
                        if x0 <= u < x1 and y0 <= v < y1:
                            hits += 1
                if hits:
                    c = colour[:3] + (colour[3] * hits // 16,)
                    self.px[y][x] = blend(self.px[y][x], c)

    def frame(self, x0, y0, x1, y1, t, colour):
        self.rect(x0, y0, x1, y0 + t, colour)
        self.rect(x0, y1 - t, x1, y1, colour)
        self.rect(x0, y0, x0 + t, y1, colour)
        self.rect(x1 - t, y0, x1, y1, colour)


def page(c, x0, y0, x1, y1, lines):
    t = max(1.0 / c.n, 0.04)
    c.rect(x0, y0, x1, y1, (255, 255, 255, 255))
    c.frame(x0, y0, x1, y1, t, (70, 70, 80, 255))
    # Folded corner.
    f = (x1 - x0) * 0.3
    c.rect(x1 - f, y0, x1, y0 + f, (0, 0, 0, 0))
    c.rect(x1 - f, y0 + t, x1 - t, y0 + f, (200, 205, 215, 255))
    c.frame(x1 - f, y0, x1, y0 + f, t, (70, 70, 80, 255))
    step = (y1 - y0 - 2 * f) / max(lines, 1)
    for i in range(lines):
        y = y0 + f + 0.3 * f + i * step
        c.rect(x0 + 0.18 * (x1 - x0), y, x1 - 0.18 * (x1 - x0) - (0.15 * (x1 - x0) if i % 3 == 2 else 0), y + max(1.0 / c.n, 0.05),
               (90, 110, 160, 255))


def draw_text_file(n):
    c = Canvas(n)
    page(c, 0.16, 0.06, 0.84, 0.94, 4 if n <= 16 else 6)
    return c


def draw_folder(n):
    c = Canvas(n)
    dark = (170, 120, 20, 255)
    c.rect(0.06, 0.18, 0.44, 0.30, (235, 180, 50, 255))
    c.rect(0.06, 0.26, 0.94, 0.86, (250, 205, 80, 255))
    c.rect(0.06, 0.36, 0.94, 0.86, (255, 220, 110, 255))
    t = max(1.0 / n, 0.04)
    c.frame(0.06, 0.26, 0.94, 0.86, t, dark)
    c.rect(0.06, 0.36, 0.94, 0.36 + t, dark)
    return c


def draw_program(n):
    c = Canvas(n)
    c.rect(0.02, 0.02, 0.98, 0.98, (40, 90, 170, 255))
    c.frame(0.02, 0.02, 0.98, 0.98, max(1.0 / n, 0.03), (20, 50, 110, 255))
    page(c, 0.30, 0.10, 0.86, 0.80, 3)
    page(c, 0.14, 0.22, 0.70, 0.92, 4 if n <= 16 else 5)
    return c


def ico_bytes(images):
    """images: list of Canvas. Writes 32-bit DIB images with an AND mask."""
    header = struct.pack("<HHH", 0, 1, len(images))
    entries = b""
    data = b""
    offset = 6 + 16 * len(images)
    for c in images:
        n = c.n
        bih = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = b""
        for y in range(n - 1, -1, -1):
            for x in range(n):
                r, g, b, a = c.px[y][x]
                pixels += bytes((b, g, r, a))
        row = ((n + 31) // 32) * 4
        mask = b""
        for y in range(n - 1, -1, -1):
            bits = bytearray(row)
            for x in range(n):
                if c.px[y][x][3] < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        img = bih + pixels + mask
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
        data += img
    return header + entries + data


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "resources", "icons")
    os.makedirs(out, exist_ok=True)
    for name, draw in (("program", draw_program), ("text", draw_text_file), ("folder", draw_folder)):
        with open(os.path.join(out, name + ".ico"), "wb") as f:
            f.write(ico_bytes([draw(48), draw(32), draw(16)]))


if __name__ == "__main__":
    main()
