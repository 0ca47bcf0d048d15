#pragma once

// Pieces shared by the kernel variants (gray_kernels*.cpp); not for callers.

#include "gray/gray_convert.h"

#include <cstddef>
#include <cstdint>

namespace tovrin::kernel {

// The exact weighted sum in hundredths is 59 g + 30 r + 11 b. Unless it ends
// in 50, the double rule's rounding errors (below 1e-12) cannot carry it past
// the nearest whole level, so plain integer rounding gives the same byte.
// At a half the double rounding decides, so only there is it evaluated.
constexpr unsigned hundredths(unsigned blue, unsigned green, unsigned red) {
    return 59 * green + 30 * red + 11 * blue;
}

inline bool isHalf(unsigned sum) { return sum % 100 == 50; }

inline std::uint8_t reducePixel(const std::uint8_t* bgr) {
    const unsigned sum = hundredths(bgr[0], bgr[1], bgr[2]);
    if (isHalf(sum)) [[unlikely]] {
        return grayFromPixel(bgr[0], bgr[1], bgr[2]);
    }
    return static_cast<std::uint8_t>((sum + 50) / 100);
}

// The outer loops every variant shares: rows of `width` pixels, one call per
// row. A gray row never starts after its colour row, and within a row a gray
// byte lands at or before the colour bytes it came from.
template <void (*reduceRow)(const std::uint8_t*, std::uint8_t*, std::int32_t)>
void reduceEachRow(const std::uint8_t* colour, std::uint8_t* gray, std::int32_t width, std::int32_t rowCount,
                   std::int32_t stride24, std::int32_t stride8) {
    if (width <= 0) {
        return;
    }
    for (std::int32_t row = 0; row < rowCount; ++row) {
        reduceRow(colour + std::ptrdiff_t{row} * stride24, gray + std::ptrdiff_t{row} * stride8, width);
    }
}

template <void (*remapRow)(std::uint8_t*, std::int32_t, const GrayTable&)>
void remapEachRow(std::uint8_t* rows, std::int32_t width, std::int32_t rowCount, std::int32_t stride,
                  const GrayTable& table) {
    if (width <= 0) {
        return;
    }
    for (std::int32_t row = 0; row < rowCount; ++row) {
        remapRow(rows + std::ptrdiff_t{row} * stride, width, table);
    }
}

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#define TOVRIN_X86_KERNELS 1

// The vector variants take t = sum + 50 and divide it by 100 as
// mulhi(t, 10486) >> 4, exact for every t up to 25550, then flag the lanes
// where 100 q == t, i.e. where the sum ended in 50.
inline constexpr short divideBy100Multiplier = 10486;  // ceil(2^20 / 100)

// Puts the double rule into the flagged lanes of a block of gray bytes, while
// the block's colour bytes are still intact.
inline void patchHalves(std::uint8_t* gray, std::uint64_t halves, const std::uint8_t* bgr) {
    while (halves != 0) {
        const int lane = __builtin_ctzll(halves);
        const std::uint8_t* pixel = bgr + 3 * lane;
        gray[lane] = grayFromPixel(pixel[0], pixel[1], pixel[2]);
        halves &= halves - 1;
    }
}

bool hasAvx2();
bool hasAvx512Vbmi();
// One row each; reduceEachRow and remapEachRow below run them over a block.
void reduceRowAvx2(const std::uint8_t* in, std::uint8_t* out, std::int32_t width);
void remapRowAvx2(std::uint8_t* line, std::int32_t width, const GrayTable& table);
void reduceRowAvx512(const std::uint8_t* in, std::uint8_t* out, std::int32_t width);
void remapRowAvx512(std::uint8_t* line, std::int32_t width, const GrayTable& table);
#endif

}  // namespace tovrin::kernel
