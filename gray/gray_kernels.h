#pragma once

// The per-pixel loops of the conversions, apart from any file handling so
// that benchmarks and tests can drive them on plain memory.
//
// Each loop exists in several variants: a portable one and, on x86-64 with
// GCC or Clang, wider ones picked at run time by what the processor offers.
// Every variant gives exactly the bytes of the double rules in gray_convert.h.

#include "gray/gray_convert.h"

#include <cstdint>
#include <span>

namespace tovrin {

// Packs rows `firstRow` to `endRow` - 1 of 24-bit pixels (`stride24` bytes
// apart) into gray rows `stride8` bytes apart, both counted from `pixels`, in
// one forward pass; the rows before `firstRow` are taken as packed already.
// Only the first `width` bytes of each gray row are stored: its padding keeps
// whatever 24-bit bytes lay there. Nothing is done for a width <= 0.
void reduceRows(std::uint8_t* pixels, std::int32_t width, std::int32_t firstRow, std::int32_t endRow,
                std::int32_t stride24, std::int32_t stride8);

// Replaces the first `width` bytes of rows `firstRow` to `endRow` - 1 by their
// gray level from `table`; row padding is left as it is.
void remapRows(std::uint8_t* pixels, std::int32_t width, std::int32_t firstRow, std::int32_t endRow,
               std::int32_t stride, const GrayTable& table);

using ReduceRowsFn = void (*)(std::uint8_t* pixels, std::int32_t width, std::int32_t firstRow,
                              std::int32_t endRow, std::int32_t stride24, std::int32_t stride8);
using RemapRowsFn = void (*)(std::uint8_t* pixels, std::int32_t width, std::int32_t firstRow,
                             std::int32_t endRow, std::int32_t stride, const GrayTable& table);

struct KernelVariant {
    const char* name;
    bool (*supported)();  // whether this processor can run it
    ReduceRowsFn reduceRows;
    RemapRowsFn remapRows;
};

// Every variant built into this executable, the widest first; the last one,
// "portable", runs everywhere. reduceRows and remapRows use the first one
// that is supported.
std::span<const KernelVariant> kernelVariants();
const KernelVariant& chosenKernelVariant();

}  // namespace tovrin
