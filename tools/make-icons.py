#!/usr/bin/env python3
"""Draws the program's icons: res/Brixa.ico (32 and 48 pixels) and res/small.ico (16 pixels).

A tilted stack of four texture tiles (red, green, blue and an alpha checker) on a dark rounded
plate. Written by hand as 32-bit BMP icons, so nothing beyond Python is needed.
    tools/make-icons.py [OUTDIR]
"""
import struct
import sys


def pixel(x, y, n):
    """BGRA of pixel (x, y), top row first, of an n x n icon."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    # rounded plate
    r = 0.18
    cx = min(max(u, r), 1 - r)
    cy = min(max(v, r), 1 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r:
        return (0, 0, 0, 0)
    inner = 0.14
    if not (inner <= u < 1 - inner and inner <= v < 1 - inner):
        return (0x40, 0x30, 0x28, 255)  # plate rim (BGR)
    s = (u - inner) / (1 - 2 * inner)
    t = (v - inner) / (1 - 2 * inner)
    gap = 0.06
    qx, qy = int(s >= 0.5), int(t >= 0.5)
    ls, lt = (s - 0.5 * qx) * 2, (t - 0.5 * qy) * 2
    if ls < gap or ls > 1 - gap or lt < gap or lt > 1 - gap:
        return (0x40, 0x30, 0x28, 255)
    tile = qy * 2 + qx
    if tile == 0:
        return (0x30, 0x30, 0xE0, 255)  # red
    if tile == 1:
        return (0x40, 0xC0, 0x30, 255)  # green
    if tile == 2:
        return (0xE0, 0x70, 0x20, 255)  # blue
    checks = max(2, n // 8)
    light = (int(ls * checks) + int(lt * checks)) % 2 == 0
    return (0xF0, 0xF0, 0xF0, 255) if light else (0x90, 0x90, 0x90, 255)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        rows.append(b"".join(bytes(pixel(x, y, n)) for x in range(n)))
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    mask = b"\0" * (mask_row * n)  # alpha decides; the AND mask stays clear
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def icon(sizes):
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else "res"
    with open(f"{outdir}/Brixa.ico", "wb") as f:
        f.write(icon([32, 48]))
    with open(f"{outdir}/small.ico", "wb") as f:
        f.write(icon([16]))


if __name__ == "__main__":
    main()
