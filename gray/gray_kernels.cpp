#include "gray/gray_kernels.h"

#include <cstddef>

namespace tovrin {

void reduceRows(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t stride24,
                std::int32_t stride8) {
    // Without this a width of 0 or below still walks every row, up to 2^31 of
    // them, when the header claims no pixels at all.
    if (width <= 0) {
        return;
    }
    for (std::int32_t row = 0; row < height; ++row) {
        const std::uint8_t* in = pixels + std::ptrdiff_t{row} * stride24;
        std::uint8_t* out = pixels + std::ptrdiff_t{row} * stride8;
        // The store for pixel x lands at or before byte 3x, which has already
        // been read, so the forward pass never overwrites a byte still to come.
        for (std::int32_t x = 0; x < width; ++x) {
            out[x] = grayFromPixel(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
        }
    }
}

void remapRows(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t stride,
               const GrayTable& table) {
    if (width <= 0) {
        return;
    }
    for (std::int32_t row = 0; row < height; ++row) {
        std::uint8_t* line = pixels + std::ptrdiff_t{row} * stride;
        for (std::int32_t x = 0; x < width; ++x) {
            line[x] = table[line[x]];
        }
    }
}

}  // namespace tovrin
