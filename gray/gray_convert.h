#pragma once

// The luminance rule and tovrin's three conversions. Each conversion loads the
// source's rows through the bitmap layer, works in place in that one buffer,
// and writes the destination; failures are thrown as message texts.

#include "bitmap/bitmap_file.h"

#include <array>
#include <cstdint>

namespace tovrin {

// Gray level = truncate(weighted sum + 0.5) in IEEE double, each product and
// sum rounded on its own. This file and every kernel built from it must be
// compiled without contraction into fused multiply-adds: (red 1, green 4,
// blue 44) and (red 0, green 5, blue 5) come out one lower with them.
//
// The two entry points add in a different order, which matters only where the
// exact sum ends in one half; both orders are kept because stored files rely
// on each.
inline std::uint8_t grayFromPixel(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const double level = ((green * 0.59 + red * 0.30) + blue * 0.11) + 0.5;
    return static_cast<std::uint8_t>(level);
}

inline std::uint8_t grayFromPaletteEntry(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const double level = ((blue * 0.11 + green * 0.59) + red * 0.30) + 0.5;
    return static_cast<std::uint8_t>(level);
}

// Gray level of each of the 256 palette entries, indexed by pixel value.
using GrayTable = std::array<std::uint8_t, 256>;

// 24-bit source to compact gray bitmap.
void reduceDirectColour(Stream& source, const HeaderBlock& header, const char* destinationPath);

// 8-bit palette source to compact gray bitmap. Always reads 256 palette
// entries from byte 54, whatever the source's own palette size.
void remapPalette(Stream& source, const HeaderBlock& header, const char* destinationPath);

// 8-bit source to full-palette gray bitmap, pixel bytes unchanged.
void expandGrayPalette(Stream& source, const HeaderBlock& header, const char* destinationPath);

}  // namespace tovrin
