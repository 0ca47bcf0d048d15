#!/usr/bin/env python3
"""Writes examples/sample.bmp: a small 24-bit bitmap for trying tovrin.

61 x 41 pixels, so each 183-byte row carries one byte of padding. Hue runs
across, brightness down, and a white "F" sits on the left, which shows at a
glance whether rows came out in order and red and blue were not swapped.
"""

import colorsys
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 61, 41


def in_letter_f(x, y):
    # y counts from the top here; the file stores the bottom row first.
    stem = 6 <= x < 11 and 6 <= y < 35
    top_bar = 6 <= x < 26 and 6 <= y < 11
    middle_bar = 6 <= x < 21 and 18 <= y < 23
    return stem or top_bar or middle_bar


def pixel(x, y):
    if in_letter_f(x, y):
        return (255, 255, 255)
    red, green, blue = colorsys.hsv_to_rgb(x / WIDTH, 0.85, 1.0 - 0.7 * y / HEIGHT)
    return (round(red * 255), round(green * 255), round(blue * 255))


def bitmap():
    stride = (WIDTH * 3 + 3) // 4 * 4
    rows = bytearray()
    for y in reversed(range(HEIGHT)):
        row = bytearray()
        for x in range(WIDTH):
            red, green, blue = pixel(x, y)
            row += bytes((blue, green, red))
        row += bytes(stride - len(row))
        rows += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + rows


if __name__ == "__main__":
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("sample.bmp")
    target.write_bytes(bitmap())
