#!/usr/bin/env python3
"""Draws the program's icon (res/app.ico, 16/32/48 px as bitmaps and 256 px as
PNG, as Windows Vista and later take large icons) and the wizard's side
picture (res/wizard.bmp, 164x314): a letter and an arrow. Plain Python, no
imaging library; shapes are anti-aliased by 4x4 supersampling.

Run from the repository root: python3 tools/make_art.py
"""
import struct
import sys
import zlib
from pathlib import Path

SS = 4  # samples per pixel along each axis


class Canvas:
    def __init__(self, w, h, background=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(background) for _ in range(w * h)]

    def _blend(self, x, y, color, coverage):
        if coverage <= 0:
            return
        r, g, b, a = color
        a = a / 255.0 * coverage
        p = self.px[y * self.w + x]
        da = p[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i, c in enumerate((r, g, b)):
            p[i] = round((c * a + p[i] * da * (1 - a)) / oa)
        p[3] = round(oa * 255)

    def fill(self, inside, color, box=None):
        """Fills the set of points where inside(x, y) is true (float coords)."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        x0, y0 = max(0, int(x0)), max(0, int(y0))
        x1, y1 = min(self.w, int(x1) + 1), min(self.h, int(y1) + 1)
        offs = [(i + 0.5) / SS for i in range(SS)]
        for y in range(y0, y1):
            for x in range(x0, x1):
                n = sum(1 for dy in offs for dx in offs if inside(x + dx, y + dy))
                self._blend(x, y, color, n / (SS * SS))

    def polygon(self, pts, color):
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]

        def inside(x, y):
            c = False
            j = len(pts) - 1
            for i in range(len(pts)):
                xi, yi = pts[i]
                xj, yj = pts[j]
                if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                    c = not c
                j = i
            return c

        self.fill(inside, color, (min(xs), min(ys), max(xs), max(ys)))

    def rect(self, x0, y0, x1, y1, color, radius=0.0):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius

        self.fill(inside, color, (x0, y0, x1, y1))

    def line(self, ax, ay, bx, by, width, color):
        dx, dy = bx - ax, by - ay
        length = (dx * dx + dy * dy) ** 0.5
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(ax + nx, ay + ny), (bx + nx, by + ny), (bx - nx, by - ny), (ax - nx, ay - ny)], color)


PAPER = (255, 255, 255, 255)
INK = (38, 70, 120, 255)
FLAP = (214, 226, 242, 255)
ARROW = (46, 160, 67, 255)
ARROW_EDGE = (22, 110, 40, 255)


def envelope(c, x, y, w, h, stroke):
    """A closed letter with its flap, top-left at (x, y)."""
    c.rect(x, y, x + w, y + h, INK, radius=stroke)
    c.rect(x + stroke, y + stroke, x + w - stroke, y + h - stroke, PAPER, radius=stroke / 2)
    c.polygon([(x + stroke, y + stroke), (x + w - stroke, y + stroke), (x + w / 2, y + h * 0.58)], FLAP)
    c.line(x + stroke, y + stroke, x + w / 2, y + h * 0.58, stroke, INK)
    c.line(x + w - stroke, y + stroke, x + w / 2, y + h * 0.58, stroke, INK)


def arrow(c, x, y, w, h, edge):
    """A right-pointing arrow in the box (x, y, w, h)."""
    shaft = h * 0.42
    head = w * 0.48
    pts = [(x, y + (h - shaft) / 2), (x + w - head, y + (h - shaft) / 2), (x + w - head, y),
           (x + w, y + h / 2), (x + w - head, y + h), (x + w - head, y + (h + shaft) / 2),
           (x, y + (h + shaft) / 2)]
    if edge:
        grown = [(px + (px - (x + w / 2)) * edge / w, py + (py - (y + h / 2)) * edge / h) for px, py in pts]
        c.polygon(grown, ARROW_EDGE)
    c.polygon(pts, ARROW)


def icon_image(size):
    c = Canvas(size, size)
    s = size / 32.0
    envelope(c, 1 * s, 5 * s, 24 * s, 17 * s, max(1.0, 1.6 * s))
    arrow(c, 13 * s, 17 * s, 18 * s, 13 * s, max(1.0, 1.4 * s) if size >= 32 else 0)
    return c


def side_picture():
    w, h = 164, 314
    c = Canvas(w, h, (0, 0, 0, 255))
    top, bottom = (40, 86, 160), (150, 190, 235)
    for y in range(h):
        t = y / (h - 1)
        col = [round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)]
        for x in range(w):
            c.px[y * w + x] = col + [255]
    # A soft light band behind the drawing.
    c.rect(-20, 70, w + 20, 230, (255, 255, 255, 40), radius=0)
    envelope(c, 18, 92, 96, 68, 4)
    arrow(c, 62, 150, 78, 52, 3)
    # Three small letters leaving at the bottom: the converted mail.
    for i, (ex, ey) in enumerate([(30, 246), (70, 256), (110, 246)]):
        envelope(c, ex, ey, 30, 21, 1.6)
    return c


def bmp24(c):
    row = (c.w * 3 + 3) & ~3
    data = bytearray()
    for y in range(c.h - 1, -1, -1):
        line = bytearray()
        for x in range(c.w):
            r, g, b, _ = c.px[y * c.w + x]
            line += bytes((b, g, r))
        line += b"\0" * (row - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, c.w, c.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def png(c):
    """The canvas as a PNG file: 8-bit RGBA, no interlacing."""
    raw = bytearray()
    for y in range(c.h):
        raw.append(0)  # filter: none
        for x in range(c.w):
            raw += bytes(c.px[y * c.w + x])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", c.w, c.h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico(canvases):
    """An icon file: images under 256 px as 32-bit bitmaps with their mask,
    256 px as PNG (its directory entry says 0 for 256)."""
    images = []
    for c in canvases:
        if c.w >= 256:
            images.append(png(c))
            continue
        xor = bytearray()
        for y in range(c.h - 1, -1, -1):
            for x in range(c.w):
                r, g, b, a = c.px[y * c.w + x]
                xor += bytes((b, g, r, a))
        mask_row = ((c.w + 31) // 32) * 4
        mask = bytearray()
        for y in range(c.h - 1, -1, -1):
            bits = bytearray(mask_row)
            for x in range(c.w):
                if c.px[y * c.w + x][3] < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
        images.append(info + bytes(xor) + bytes(mask))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for c, img in zip(canvases, images):
        out += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    for img in images:
        out += img
    return bytes(out)


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent
    (root / "res" / "app.ico").write_bytes(ico([icon_image(n) for n in (16, 32, 48, 256)]))
    (root / "res" / "wizard.bmp").write_bytes(bmp24(side_picture()))


if __name__ == "__main__":
    main()
