#!/usr/bin/env python3
"""Has a widely used decoder read what tovrin writes.

Makes a colour bitmap, runs the default conversion and then /r on the result,
opens the expanded file with Pillow and checks that every pixel it shows is the
luminance of the source pixel by tovrin's rule. Exits 77 (a skip) when Pillow
is not installed.

usage: decoder_check.py TOVRIN [WORK_FOLDER]
"""

import random
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

try:
    from PIL import Image
except ImportError:
    print("skipped: Pillow is not installed for", sys.executable)
    sys.exit(77)

WIDTH, HEIGHT = 37, 23


def colour_bitmap(pixels):
    stride = (WIDTH * 3 + 3) // 4 * 4
    rows = bytearray()
    for y in range(HEIGHT):  # first row in the file is the bottom row
        row = bytearray()
        for red, green, blue in pixels[HEIGHT - 1 - y]:
            row += bytes((blue, green, red))
        rows += row + bytes(stride - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + rows


def luminance(red, green, blue):
    # Python floats are IEEE doubles, and each operation rounds on its own.
    return int(((green * 0.59 + red * 0.30) + blue * 0.11) + 0.5)


def main():
    tool = sys.argv[1]
    rng = random.Random(20261211)
    # Random colours, plus ones whose exact sum ends in one half.
    pixels = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(WIDTH)]
              for _ in range(HEIGHT)]
    pixels[0][0] = (1, 4, 44)
    pixels[0][1] = (0, 5, 5)
    with tempfile.TemporaryDirectory() as folder:
        folder = Path(folder)
        (folder / "colour.bmp").write_bytes(colour_bitmap(pixels))
        for arguments in (["colour.bmp", "gray.bmp"], ["gray.bmp", "full.bmp", "/r"]):
            run = subprocess.run([tool] + arguments, cwd=folder, capture_output=True)
            if run.returncode != 0 or run.stdout or run.stderr:
                print("tovrin", arguments, "failed:", run.returncode, run.stdout, run.stderr)
                return 1
        source = Image.open(folder / "colour.bmp").convert("RGB")
        shown = Image.open(folder / "full.bmp")
        print("Pillow", Image.__version__, "reads the result as mode", shown.mode, shown.size)
        shown = shown.convert("RGB")
        wrong = 0
        for y in range(HEIGHT):
            for x in range(WIDTH):
                red, green, blue = source.getpixel((x, y))
                assert (red, green, blue) == pixels[y][x], "the source did not decode as written"
                want = luminance(red, green, blue)
                if shown.getpixel((x, y)) != (want, want, want):
                    wrong += 1
                    if wrong <= 5:
                        print(f"pixel ({x}, {y}): shown {shown.getpixel((x, y))}, want gray {want}")
        print(f"{WIDTH * HEIGHT - wrong} of {WIDTH * HEIGHT} pixels show the luminance")
        return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
