#pragma once

// The per-pixel loops of the conversions, apart from any file handling so
// that benchmarks and tests can drive them on plain memory.

#include "gray/gray_convert.h"

#include <cstdint>

namespace tovrin {

// Packs `height` rows of 24-bit pixels (`stride24` bytes apart) into gray rows
// `stride8` bytes apart, from the start of the same block, in one forward pass.
// Only the first `width` bytes of each gray row are stored: its padding keeps
// whatever 24-bit bytes lay there. Nothing is done for width or height <= 0.
void reduceRows(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t stride24,
                std::int32_t stride8);

// Replaces the first `width` bytes of each of `height` rows by their gray level
// from `table`; row padding is left as it is.
void remapRows(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t stride,
               const GrayTable& table);

}  // namespace tovrin
