#!/usr/bin/env python3
"""Writes the pictures of the settings and info dialogs.

    program_icon.bmp      32 x 32, 8 bits   the program's icon: a snowflake on a night-blue tile
    www_icon.bmp          32 x 32, 4 bits   the web button: a globe
    info_icon.bmp         32 x 32, 4 bits   the info button: an "i" in a blue disc
    info_window_icon.bmp  32 x 32, 8 bits   the info window's own icon: a blue flake on an ice disc
    info_background.bmp  356 x 330, 8 bits  the info window: snowy hills under a night sky, with a pane
                                            of frosted ice where the texts go
    info_picture.bmp      32 x 32, 4 bits   the small picture beside the web address: a flake on navy
    frostwisp.ico         32 x 32 and 16 x 16, 8 bits   the program icon for the executable file
                          (the pixel art; make_icons --ico then adds 48 and
                          256 pixels and writes all in 32-bit colour with alpha)

In the icons, magenta (255, 0, 255) marks the pixels that are not part of the
picture; the backends show them transparent. The two info pictures have none.
Everything is drawn with whole pixels from a fixed seed, so the output is the
same byte for byte on every run. Run from anywhere:
python3 resources/make_dialog_pictures.py
"""

import math
import os
import struct

KEY = (255, 0, 255)
NAVY = (0, 0, 128)
WHITE = (255, 255, 255)

# The 16 colours of a 4-bit picture: the classic VGA set.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


class Picture:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, color):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = color

    def get(self, x, y):
        return self.pixels[y][x]

    def disc(self, cx, cy, r, color):
        for y in range(self.height):
            for x in range(self.width):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.pixels[y][x] = color

    def rect(self, x0, y0, x1, y1, color):
        for y in range(max(y0, 0), min(y1, self.height)):
            for x in range(max(x0, 0), min(x1, self.width)):
                self.pixels[y][x] = color

    def line(self, x0, y0, x1, y1, color, width=1):
        steps = int(math.ceil(max(abs(x1 - x0), abs(y1 - y0), 1))) * 2
        for i in range(steps + 1):
            t = i / steps
            x, y = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            for dy in range(width):
                for dx in range(width):
                    self.put(int(math.floor(x - (width - 1) / 2 + dx)), int(math.floor(y - (width - 1) / 2 + dy)), color)

    def flake(self, cx, cy, r, color, width=1, branches=True):
        """A six-armed snowflake: arms with a pair of short branches each."""
        for k in range(6):
            a = math.pi / 2 + k * math.pi / 3
            ex, ey = cx + r * math.cos(a), cy - r * math.sin(a)
            self.line(cx, cy, ex, ey, color, width)
            if branches and r >= 5:
                bx, by = cx + 0.55 * r * math.cos(a), cy - 0.55 * r * math.sin(a)
                for side in (-1, 1):
                    b = a + side * math.pi / 4
                    self.line(bx, by, bx + 0.35 * r * math.cos(b), by - 0.35 * r * math.sin(b), color, width)

    def rows(self):
        return self.pixels


def rounded_tile(picture, inset, radius, color):
    for y in range(inset, picture.height - inset):
        for x in range(inset, picture.width - inset):
            cx = min(max(x + 0.5, inset + radius), picture.width - inset - radius)
            cy = min(max(y + 0.5, inset + radius), picture.height - inset - radius)
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius:
                picture.put(x, y, color)


def program_icon():
    p = Picture(32, 32, KEY)
    rounded_tile(p, 0, 6, NAVY)
    for y in range(2, 30):  # a lighter sky towards the bottom
        for x in range(32):
            if p.get(x, y) == NAVY and y > 18:
                p.put(x, y, (16, 40, 150))
    p.flake(15.5, 15.5, 12, (200, 225, 255), 2)
    p.flake(15.5, 15.5, 12, WHITE, 1)
    p.disc(16, 16, 2.2, WHITE)
    return p


def www_icon():
    p = Picture(32, 32, KEY)
    p.disc(16, 16, 14, (0, 0, 255))
    # Land in green, kept inside the globe.
    land = Picture(32, 32, None)
    land.disc(11, 11, 6, (0, 128, 0))
    land.disc(14, 8, 4, (0, 128, 0))
    land.disc(21, 21, 5, (0, 128, 0))
    land.disc(24, 17, 3, (0, 128, 0))
    for y in range(32):
        for x in range(32):
            if land.get(x, y) and p.get(x, y) != KEY:
                p.put(x, y, land.get(x, y))
    # Meridians and parallels.
    grid = (0, 255, 255)
    for y in range(32):
        for x in range(32):
            if p.get(x, y) == KEY:
                continue
            dx, dy = x + 0.5 - 16, y + 0.5 - 16
            if abs(dx) < 0.6 or abs(dy) < 0.6 or abs(abs(dy) - 7) < 0.5:
                p.put(x, y, grid)
            elif abs(dx * dx / 49 + dy * dy / 196 - 1) < 0.12:
                p.put(x, y, grid)
    for a in range(360):  # the rim
        r = math.radians(a)
        p.put(int(16 + 13.6 * math.cos(r)), int(16 + 13.6 * math.sin(r)), NAVY)
    return p


def info_icon():
    p = Picture(32, 32, KEY)
    p.disc(16, 16, 14, NAVY)
    p.disc(16, 16, 12.5, (0, 0, 255))
    p.disc(16, 8.5, 2.6, WHITE)
    p.rect(13, 13, 19, 15, WHITE)
    p.rect(14, 13, 18, 24, WHITE)
    p.rect(12, 23, 20, 25, WHITE)
    return p


def info_window_icon():
    p = Picture(32, 32, KEY)
    p.disc(16, 16, 15, (120, 160, 220))
    p.disc(16, 16, 13.5, (225, 238, 255))
    p.flake(15.5, 15.5, 11, (0, 40, 140), 2)
    p.disc(16, 16, 2, (0, 40, 140))
    return p


class Random:
    """xorshift32 from a fixed seed."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def below(self, n):
        return (self.next() >> 8) % n


def info_background():
    w, h = 356, 330
    p = Picture(w, h, NAVY)
    # Night sky: 48 bands from nearly black to the window's dark blue.
    for y in range(h):
        t = min(y / 250, 1)
        band = round(t * 47) / 47
        p.rect(0, y, w, y + 1, (int(4 + 20 * band), int(6 + 34 * band), int(40 + 100 * band)))
    rnd = Random(0x5EED1234)
    # Far stars.
    for _ in range(70):
        x, y = rnd.below(w), rnd.below(200)
        p.put(x, y, (150 + rnd.below(3) * 40, 170 + rnd.below(3) * 30, 255))
    # Snowy hills in three layers, far to near.
    hills = [
        (255, (150, 170, 215), 0.021, 12),
        (275, (195, 210, 240), 0.013, 16),
        (298, (240, 246, 255), 0.009, 14),
    ]
    for base, color, freq, amp in hills:
        phase = rnd.below(628) / 100
        for x in range(w):
            top = int(base - amp * math.sin(x * freq + phase) - amp / 2 * math.sin(x * freq * 2.7 + phase))
            p.rect(x, top, x + 1, h, color)
    # Pines on the far hill.
    for _ in range(9):
        x = rnd.below(w)
        foot = 262 + rnd.below(10)
        height = 14 + rnd.below(12)
        for dy in range(height):
            half = (dy * 5) // height
            p.rect(x - half, foot - height + dy, x + half + 1, foot - height + dy + 1, (10, 40, 60))
    # Falling snow: a few large flakes, many small ones, kept clear of the
    # middle band where the texts are.
    for _ in range(18):
        x, y = rnd.below(w), rnd.below(250)
        if 60 <= y <= 200 and 40 <= x <= 316:
            continue
        r = 4 + rnd.below(5)
        p.flake(x, y, r, (220, 232, 255))
    for _ in range(260):
        x, y = rnd.below(w), rnd.below(h)
        if 40 <= x <= 318 and 62 <= y <= 210:
            continue
        shade = (235, 240, 255) if rnd.below(2) else WHITE
        p.put(x, y, shade)
        if rnd.below(3) == 0:
            p.put(x + 1, y, shade)
    # A pane of frosted ice behind the texts, so that text in the window's
    # text colour reads on it.
    pane = Picture(w, h, None)
    rounded_tile_at(pane, 44, 68, 318, 206, 10, (120, 150, 205))
    rounded_tile_at(pane, 46, 70, 316, 204, 8, (214, 226, 246))
    rounded_tile_at(pane, 48, 72, 314, 202, 7, (232, 240, 252))
    for y in range(h):
        for x in range(w):
            if pane.get(x, y):
                p.put(x, y, pane.get(x, y))
    for cx, cy in ((60, 84), (300, 190)):
        p.flake(cx, cy, 8, (200, 214, 240))
    return p


def rounded_tile_at(picture, x0, y0, x1, y1, radius, color):
    for y in range(y0, y1):
        for x in range(x0, x1):
            cx = min(max(x + 0.5, x0 + radius), x1 - radius)
            cy = min(max(y + 0.5, y0 + radius), y1 - radius)
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= radius * radius:
                picture.put(x, y, color)


def info_picture():
    p = Picture(32, 32, NAVY)
    p.flake(15.5, 15.5, 13, (0, 255, 255), 1)
    p.flake(15.5, 15.5, 9, WHITE, 1, branches=False)
    p.disc(16, 16, 2.5, WHITE)
    return p


def nearest(palette, color):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], color)))


def palette_of(picture, bits):
    if bits == 4:
        return VGA
    colors = []
    for row in picture.rows():
        for c in row:
            if c not in colors:
                colors.append(c)
    assert len(colors) <= 256, f"{len(colors)} colours do not fit 8 bits"
    return colors + [(0, 0, 0)] * (256 - len(colors))


def indices(picture, palette):
    cache = {}
    out = []
    for row in picture.rows():
        line = []
        for c in row:
            if c not in cache:
                cache[c] = palette.index(c) if c in palette else nearest(palette, c)
            line.append(cache[c])
        out.append(line)
    return out


def pack_row(row, bits):
    data = bytearray()
    if bits == 8:
        data.extend(row)
    else:
        for i in range(0, len(row), 2):
            data.append(row[i] << 4 | (row[i + 1] if i + 1 < len(row) else 0))
    while len(data) % 4:
        data.append(0)
    return bytes(data)


def dib(picture, bits, palette, rows, height_field=None, mask=False):
    """BITMAPINFOHEADER, palette and bottom-up pixel rows (and an AND mask for icons)."""
    w, h = picture.width, picture.height
    pixel_data = b"".join(pack_row(r, bits) for r in reversed(rows))
    mask_data = b""
    if mask:
        stride = ((w + 31) // 32) * 4
        for y in reversed(range(h)):
            line = bytearray(stride)
            for x in range(w):
                if picture.get(x, y) == KEY:
                    line[x // 8] |= 0x80 >> (x % 8)
            mask_data += bytes(line)
    colors = len(palette)
    header = struct.pack("<IiiHHIIiiII", 40, w, height_field or h, 1, bits, 0, len(pixel_data) + len(mask_data),
                         3780, 3780, colors, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + pixel_data + mask_data


def bmp(picture, bits):
    palette = palette_of(picture, bits)
    body = dib(picture, bits, palette, indices(picture, palette))
    return struct.pack("<2sIHHI", b"BM", 14 + len(body), 0, 0, 14 + 40 + 4 * len(palette)) + body


def small_program_icon():
    p = Picture(16, 16, KEY)
    rounded_tile(p, 0, 3, NAVY)
    p.flake(7.5, 7.5, 6.5, WHITE, 1, branches=False)
    p.disc(8, 8, 1.2, WHITE)
    return p


def ico(pictures):
    images = []
    for p in pictures:
        palette = palette_of(p, 8)
        images.append((p, dib(p, 8, palette, indices(p, palette), height_field=2 * p.height, mask=True)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for p, data in images:
        out += struct.pack("<BBBBHHII", p.width, p.height, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    icon = program_icon()
    outputs = {
        "program_icon.bmp": bmp(icon, 8),
        "www_icon.bmp": bmp(www_icon(), 4),
        "info_icon.bmp": bmp(info_icon(), 4),
        "info_window_icon.bmp": bmp(info_window_icon(), 8),
        "info_background.bmp": bmp(info_background(), 8),
        "info_picture.bmp": bmp(info_picture(), 4),
        "frostwisp.ico": ico([icon, small_program_icon()]),
    }
    for name, data in outputs.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
