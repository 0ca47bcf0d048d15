#!/usr/bin/env bash
# Makes the README's pictures from tovrin's own output:
#   docs/sample-colour.png    examples/sample.bmp, the 24-bit source
#   docs/sample-gray.png      the pixel bytes of the compact gray bitmap, drawn
#                             as gray levels (viewers cannot show that file: its
#                             palette has one entry)
#   docs/sample-expanded.png  the /r expansion of it, as any viewer shows it
# each scaled up four times, nearest neighbour. ImageMagick only turns the
# bitmaps into PNGs; every gray level is tovrin's.
#
# usage: docs/make_pictures.sh [TOVRIN]
#   TOVRIN  the tool to run; by default it is built in build-docs/.
#   MAGICK_CONVERT  ImageMagick's convert, by default /usr/bin/convert
#                   (Debian: imagemagick).
set -euo pipefail
cd "$(dirname "$0")/.."

convert=${MAGICK_CONVERT:-/usr/bin/convert}
if ! "$convert" -version 2>/dev/null | grep -q ImageMagick; then
    echo "make_pictures: needs ImageMagick's convert at $convert (Debian: imagemagick);" \
         "set MAGICK_CONVERT to use another" >&2
    exit 1
fi
compare=$(dirname "$convert")/compare

tovrin=${1:-}
if [ -z "$tovrin" ]; then
    cmake -S . -B build-docs -DTOVRIN_BUILD_TESTS=OFF >/dev/null
    cmake --build build-docs --target tovrin >/dev/null
    tovrin=build-docs/tovrin
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tovrin" examples/sample.bmp "$work/gray.bmp"
"$tovrin" "$work/gray.bmp" "$work/expanded.bmp" /r

# No metadata and no time stamps, so that the same pictures give the same files.
to_png() {  # to_png OUTPUT CONVERT-ARGUMENTS...
    local output=$1
    shift
    "$convert" "$@" -scale 400% -strip -define png:exclude-chunks=date,time "$output"
}

to_png docs/sample-colour.png examples/sample.bmp
to_png docs/sample-expanded.png "$work/expanded.bmp"

# The compact file read as raw gray bytes: its rows start at byte 58, bottom
# row first, each padded to a multiple of four bytes; the padding is cut off.
read -r width height < <("$convert" "$work/expanded.bmp" -format '%w %h\n' info:)
stride=$(((width + 3) / 4 * 4))
to_png docs/sample-gray.png -size "${stride}x${height}+58" -depth 8 "gray:$work/gray.bmp" \
    -flip -crop "${width}x${height}+0+0" +repage

# /r changes the palette and no pixel byte, so the two gray pictures must agree.
differing=$("$compare" -metric AE docs/sample-gray.png docs/sample-expanded.png null: 2>&1) || true
if [ "$differing" != 0 ]; then
    echo "make_pictures: the gray pictures differ in ${differing} pixels" >&2
    exit 1
fi
ls -l docs/sample-colour.png docs/sample-gray.png docs/sample-expanded.png
