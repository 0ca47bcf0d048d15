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

// Packs `rowCount` rows of 24-bit pixels, `stride24` bytes apart from
// `colour`, into gray rows `stride8` bytes apart from `gray`, in one forward
// pass. The two may share a buffer: `gray` at or before `colour` and a gray
// stride no longer than the colour one, so that no pixel is overwritten
// before it has been read. Only the first `width` bytes of each gray row are
// stored; its padding keeps whatever lay there. Nothing is done for a width
// or a row count <= 0.
void reduceRows(const std::uint8_t* colour, std::uint8_t* gray, std::int32_t width, std::int32_t rowCount,
                std::int32_t stride24, std::int32_t stride8);

// Replaces the first `width` bytes of `rowCount` rows, `stride` bytes apart
// from `rows`, by their gray level from `table`; row padding is left as it is.
void remapRows(std::uint8_t* rows, std::int32_t width, std::int32_t rowCount, std::int32_t stride,
               const GrayTable& table);

using ReduceRowsFn = void (*)(const std::uint8_t* colour, std::uint8_t* gray, std::int32_t width,
                              std::int32_t rowCount, std::int32_t stride24, std::int32_t stride8);
using RemapRowsFn = void (*)(std::uint8_t* rows, std::int32_t width, std::int32_t rowCount, std::int32_t stride,
                             const GrayTable& table);

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
