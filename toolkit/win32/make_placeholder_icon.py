#!/usr/bin/env python3
"""Writes placeholder.ico: a white six-armed flake on night blue, 16 and 32
pixels, 32 bits per pixel. It stands in until resources/ has the program's icon.

    python3 toolkit/win32/make_placeholder_icon.py > toolkit/win32/placeholder.ico
"""
import math
import struct
import sys


def flake_pixels(size):
    centre = (size - 1) / 2
    arm = size * 0.42
    width = max(size / 16, 1.0)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - centre, y - centre
            r = math.hypot(dx, dy)
            on = False
            for k in range(6):
                a = k * math.pi / 3
                ux, uy = math.cos(a), math.sin(a)
                along = dx * ux + dy * uy
                across = abs(-dx * uy + dy * ux)
                if 0 <= along <= arm and across <= width / 2 + 0.25:
                    on = True
                # a short twig on each arm, two thirds out
                for side in (-1, 1):
                    tx = ux * math.cos(side * 0.8) - uy * math.sin(side * 0.8)
                    ty = ux * math.sin(side * 0.8) + uy * math.cos(side * 0.8)
                    bx, by = dx - ux * arm * 0.6, dy - uy * arm * 0.6
                    t = bx * tx + by * ty
                    if 0 <= t <= arm * 0.3 and abs(-bx * ty + by * tx) <= width / 2 + 0.25:
                        on = True
            inside = r <= size / 2 - 0.5
            if on:
                row.append((255, 255, 255, 255))
            elif inside:
                row.append((110, 40, 20, 255))  # B, G, R: night blue
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def image(size):
    pixels = flake_pixels(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes(c for px in row for c in px) for row in reversed(pixels))
    mask_row = (size + 31) // 32 * 4
    and_mask = b""
    for row in reversed(pixels):
        out = bytearray(mask_row)
        for x, px in enumerate(row):
            if px[3] == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        and_mask += bytes(out)
    return header + xor + and_mask


def main():
    sizes = [16, 32]
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    sys.stdout.buffer.write(out)


if __name__ == "__main__":
    main()
