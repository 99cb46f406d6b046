#!/usr/bin/env python3
"""Writes the two gradient strips 101.bmp (blue) and 102.bmp (gray).

Each strip is 50 x 480 pixels, 4 bits per pixel, RLE4-compressed, with the 16
band colours of its gradient as palette entries 0 to 15. A row is either one
band colour or a dithered mix of two neighbouring bands. Between two bands the
count of the lower band's pixels climbs row by row from 1 to 49 and crosses the
half-way mark at the row where the lower band takes over, so every band
dominates (holds the majority of the row's pixels) exactly its listed rows.
Where the listed rows of two bands overlap, the hand-over lies in the middle of
the overlap.

The scatter is seeded per row, so the output is the same byte for byte on every
run. Run from anywhere: python3 resources/make_gradients.py
"""

import math
import os
import struct
import sys

WIDTH = 50
HEIGHT = 480

# (red, green, blue), first row, last row: the rows each band dominates.
BLUE = [
    ((119, 172, 252), 0, 23),
    ((112, 162, 237), 24, 55),
    ((104, 150, 220), 53, 85),
    ((95, 138, 202), 86, 116),
    ((88, 128, 187), 115, 143),
    ((82, 118, 173), 141, 172),
    ((73, 106, 155), 171, 203),
    ((65, 94, 138), 204, 232),
    ((58, 84, 123), 233, 260),
    ((51, 74, 108), 259, 290),
    ((43, 62, 90), 289, 322),
    ((35, 50, 73), 317, 351),
    ((28, 40, 58), 349, 377),
    ((21, 30, 44), 376, 406),
    ((13, 18, 26), 407, 441),
    ((4, 5, 7), 429, 479),
]

GRAY = [
    ((2, 2, 2), 0, 89),
    ((9, 9, 9), 90, 121),
    ((13, 13, 13), 120, 146),
    ((17, 17, 17), 141, 169),
    ((24, 24, 24), 170, 195),
    ((32, 32, 32), 191, 221),
    ((38, 38, 38), 220, 246),
    ((46, 46, 46), 247, 270),
    ((54, 54, 54), 271, 295),
    ((62, 62, 62), 296, 322),
    ((69, 69, 69), 321, 347),
    ((77, 77, 77), 346, 372),
    ((85, 85, 85), 367, 396),
    ((93, 93, 93), 397, 422),
    ((101, 101, 101), 421, 448),
    ((111, 111, 111), 449, 479),
]

HALF = WIDTH // 2


def hand_over_rows(bands):
    """The fractional row where band k+1 takes over from band k, for each k."""
    result = []
    for (_, _, last), (_, first, _) in zip(bands, bands[1:]):
        assert first <= last + 1, "bands must touch or overlap"
        result.append((first + last) / 2)
    return result


def interpolate(x, x0, y0, x1, y1):
    return y0 + (y1 - y0) * (x - x0) / (x1 - x0)


def row_levels(bands):
    """For each row, (upper band, count of the next band's pixels in 0..49)."""
    t = hand_over_rows(bands)
    n = len(bands)
    # The one row of each inner band that holds only that band's colour lies
    # half-way between its two hand-overs; the first and last bands stay pure
    # up to the same distance from their single hand-over.
    pure = [math.floor(t[0] - (t[1] - t[0]) / 2)]
    pure += [math.floor((t[k - 1] + t[k]) / 2) for k in range(1, n - 1)]
    pure.append(math.ceil(t[-1] + (t[-1] - t[-2]) / 2))
    assert pure[0] > 0 and pure[-1] < HEIGHT - 1

    levels = [(0, 0)] * (pure[0] + 1)
    for k in range(n - 1):
        first, last = pure[k] + 1, pure[k + 1] - 1
        for row in range(first, last + 1):
            if row <= t[k]:
                f = interpolate(row, first, 1, t[k], HALF)
            else:
                f = interpolate(row, t[k], HALF, last, WIDTH - 1)
            count = math.floor(f + 0.5)
            # A tie would leave the row without a majority.
            count = min(count, HALF - 1) if row < t[k] else max(count, HALF + 1)
            levels.append((k, max(1, min(WIDTH - 1, count))))
        levels.append((k + 1, 0))
    levels += [(n - 1, 0)] * (HEIGHT - len(levels))
    assert len(levels) == HEIGHT
    check_levels(bands, levels)
    return levels


def check_levels(bands, levels):
    for row, (band, count) in enumerate(levels):
        dominant = band if count < HALF else band + 1
        claimed = [k for k, (_, first, last) in enumerate(bands) if first <= row <= last]
        assert count != HALF and dominant in claimed, (row, band, count, claimed)
    steps = [band * WIDTH + count for band, count in levels]
    for row in range(1, HEIGHT):
        mixed = levels[row][1] != 0
        assert steps[row] > steps[row - 1] if mixed else steps[row] >= steps[row - 1], row


class Scatter:
    """xorshift32, seeded from the bitmap and the row."""

    def __init__(self, resource, row):
        self.state = ((resource * 0x9E3779B1) ^ ((row + 1) * 0x85EBCA77)) & 0xFFFFFFFF or 1
        for _ in range(4):
            self.next()

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x

    def below(self, n):
        return (self.next() >> 8) % n


def row_pixels(resource, row, band, count):
    """The palette indices of one row: count pixels of band + 1, the rest band."""
    if count == 0:
        return [band] * WIDTH
    # Place the minority colour one pixel per equal slice of the row, at a
    # random column inside the slice, and turn the whole pattern by a random
    # offset. Unlike a plain shuffle this never clumps, so the mix reads as an
    # even blend.
    minority, other = (band + 1, band) if count < HALF else (band, band + 1)
    m = min(count, WIDTH - count)
    pixels = [other] * WIDTH
    rng = Scatter(resource, row)
    offset = rng.below(WIDTH)
    for i in range(m):
        start, end = i * WIDTH // m, (i + 1) * WIDTH // m
        pixels[(start + rng.below(end - start) + offset) % WIDTH] = minority
    assert pixels.count(band + 1) == count
    return pixels


def alternating_run(pixels, i):
    """Length of the stretch from i that repeats pixels[i], pixels[i + 1]."""
    n = 1
    while i + n < len(pixels) and n < 255 and pixels[i + n] == pixels[i + (n & 1)]:
        n += 1
    return n


def encode_rle4_row(pixels):
    out = bytearray()
    literal = []

    def flush():
        if len(literal) >= 3:
            packed = bytearray()
            for j in range(0, len(literal), 2):
                hi = literal[j]
                lo = literal[j + 1] if j + 1 < len(literal) else 0
                packed.append(hi << 4 | lo)
            if len(packed) & 1:
                packed.append(0)
            out.extend([0, len(literal)])
            out.extend(packed)
        elif literal:
            lo = literal[1] if len(literal) == 2 else 0
            out.extend([len(literal), literal[0] << 4 | lo])
        literal.clear()

    i = 0
    while i < len(pixels):
        n = alternating_run(pixels, i)
        # Four pixels and more are cheaper as a run than inside a literal.
        if n >= 4 or (n == len(pixels) - i and not literal):
            flush()
            second = pixels[i + 1] if n > 1 else 0
            out.extend([n, pixels[i] << 4 | second])
            i += n
        else:
            literal.append(pixels[i])
            i += 1
            if len(literal) == 255:
                flush()
    flush()
    return bytes(out)


def decode_rle4(data, width, height):
    """Just enough of a decoder to prove the encoder right."""
    rows = [[0] * width for _ in range(height)]
    x = y = i = 0
    while True:
        n, b = data[i], data[i + 1]
        i += 2
        if n:
            for j in range(n):
                rows[y][x] = b >> 4 if j % 2 == 0 else b & 15
                x += 1
        elif b == 0:
            x, y = 0, y + 1
        elif b == 1:
            assert i == len(data)
            return rows
        else:
            assert b >= 3
            for j in range(b):
                byte = data[i + j // 2]
                rows[y][x] = byte >> 4 if j % 2 == 0 else byte & 15
                x += 1
            i += (b + 1) // 2
            i += ((b + 1) // 2) & 1


def make_bitmap(resource, bands):
    levels = row_levels(bands)
    rows = [row_pixels(resource, row, *levels[row]) for row in range(HEIGHT)]
    bottom_up = rows[::-1]
    data = b"\x00\x00".join(encode_rle4_row(r) for r in bottom_up) + b"\x00\x01"
    assert decode_rle4(data, WIDTH, HEIGHT) == bottom_up

    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b), _, _ in bands)
    assert len(palette) == 64
    offset = 14 + 40 + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 2, len(data), 0, 0, 16, 0)
    return file_header + info_header + palette + data


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for resource, bands in ((101, BLUE), (102, GRAY)):
        path = os.path.join(here, f"{resource}.bmp")
        with open(path, "wb") as f:
            f.write(make_bitmap(resource, bands))
        print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
