#!/usr/bin/env bash
# The README's quick start is still exactly two commands and the first one
# works; its pictures exist and show what the tool makes of the sample today.
set -euo pipefail
cd "$(dirname "$0")/../.."

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The first block of the README, the quick start.
quick_start=$(awk '/^```/ { if (inside) exit; inside = 1; next } inside' README.md)
[ "$(wc -l <<<"$quick_start")" = 2 ] || fail "the quick start is not two commands:
$quick_start"
# .ci/run has run the second line already; run the first (its build is done by now).
rm -f sample-gray.bmp
trap 'rm -f sample-gray.bmp' EXIT
bash -c "$(head -n 1 <<<"$quick_start")" >/dev/null || fail "the first quick-start command fails"
[ -f sample-gray.bmp ] || fail "the first quick-start command made no sample-gray.bmp"

/usr/bin/python3 - sample-gray.bmp <<'PYTHON'
"""Compares the README's pictures with the sample and the tool's result."""
import re
import struct
import sys
from pathlib import Path

from PIL import Image

SCALE = 4
readme = Path("README.md").read_text()
linked = re.findall(r"!\[[^]]*\]\(([^)]+)\)", readme)
for name in ("docs/sample-colour.png", "docs/sample-gray.png", "docs/sample-expanded.png"):
    if name not in linked:
        sys.exit(f"the README does not show {name}")


def picture(name):
    image = Image.open(name)
    if image.format != "PNG":
        sys.exit(f"{name} is not a PNG")
    width, height = image.size
    return image.resize((width // SCALE, height // SCALE), Image.NEAREST)


def rows(path, bits):
    data = Path(path).read_bytes()
    offset, width, height = struct.unpack_from("<I", data, 10)[0], *struct.unpack_from("<ii", data, 18)
    stride = (width * bits + 31) // 32 * 4
    step = bits // 8
    # Bottom row first in the file, top row first in a picture.
    return [[tuple(data[offset + r * stride + x * step:offset + r * stride + (x + 1) * step])
             for x in range(width)] for r in reversed(range(height))]


def compare(name, image, want):
    have = [[image.getpixel((x, y)) for x in range(image.width)] for y in range(image.height)]
    if have != want:
        sys.exit(f"{name} does not show what it should; run docs/make_pictures.sh")


colour = [[(r, g, b) for (b, g, r) in row] for row in rows("examples/sample.bmp", 24)]
compare("docs/sample-colour.png", picture("docs/sample-colour.png").convert("RGB"), colour)
gray = [[level for (level,) in row] for row in rows(sys.argv[1], 8)]
for name in ("docs/sample-gray.png", "docs/sample-expanded.png"):
    compare(name, picture(name).convert("L"), gray)
PYTHON
echo "readme step: ${SECONDS}s"
