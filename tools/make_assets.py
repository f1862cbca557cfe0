#!/usr/bin/env python3
"""Draws the window icon (32 x 32, 16 colours) and the main window's picture
(583 x 238, 24-bit) into assets/. Plain zlib PNG writing: no image library."""
import math
import os
import struct
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(path, width, height, bit_depth, colour_type, rows, palette=None):
    raw = b"".join(b"\x00" + row for row in rows)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0))
    if palette:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def icon(path):
    # The 16 colours of the classic palette; the icon is a navy modem with a
    # green lamp and signal arcs.
    palette = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
               (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
               (255, 0, 255), (0, 255, 255), (255, 255, 255)]
    pixels = [[15] * 32 for _ in range(32)]
    for y in range(16, 28):
        for x in range(3, 29):
            pixels[y][x] = 4 if 17 <= y <= 26 and 4 <= x <= 27 else 0
    for y in range(20, 23):
        for x in range(22, 25):
            pixels[y][x] = 10
    for y in range(0, 16):
        for x in range(0, 32):
            r = math.hypot(x - 16, y - 16)
            if any(abs(r - radius) < 0.8 for radius in (5, 9, 13)) and y < 15:
                pixels[y][x] = 12
    rows = [bytes((row[x] << 4) | row[x + 1] for x in range(0, 32, 2)) for row in pixels]
    png(path, 32, 32, 4, 3, rows, palette)


def picture(path):
    width, height = 583, 238
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            t = x / width
            r, g, b = int(20 + 40 * t), int(40 + 80 * t), int(128 + 100 * (1 - y / height))
            # Signal arcs rising from a mast on the left.
            d = math.hypot(x - 90, y - 150)
            if y < 150 and any(abs(d - radius) < 3 for radius in (30, 60, 90, 120)):
                r, g, b = 255, 255, 255
            if 86 <= x <= 94 and 150 <= y <= 220:
                r, g, b = 220, 220, 220
            # A row of channel lamps.
            if 200 <= y <= 216 and x >= 200 and (x - 200) % 22 < 14 and x < 200 + 16 * 22:
                lit = ((x - 200) // 22) % 3 == 0
                r, g, b = (0, 230, 0) if lit else (30, 60, 30)
            row += bytes((r, g, b))
        rows.append(bytes(row))
    png(path, width, height, 8, 2, rows)


if __name__ == "__main__":
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets")
    icon(os.path.join(here, "telvarin.png"))
    picture(os.path.join(here, "picture.png"))
