#include "gray/gray_kernels.h"

#include "gray/kernel_parts.h"

#include <array>

namespace tovrin {

namespace {

void reduceRowPortable(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
    // The store for pixel x lands at or before byte 3x, which has already
    // been read, so the forward pass never overwrites a byte still to come.
    for (std::int32_t x = 0; x < width; ++x) {
        out[x] = kernel::reducePixel(in + 3 * x);
    }
}

void remapRowPortable(std::uint8_t* line, std::int32_t width, const GrayTable& table) {
    std::int32_t x = 0;
    // Four independent lookups per step keep the loads in flight.
    for (; x + 4 <= width; x += 4) {
        const std::uint8_t a = table[line[x]];
        const std::uint8_t b = table[line[x + 1]];
        const std::uint8_t c = table[line[x + 2]];
        const std::uint8_t d = table[line[x + 3]];
        line[x] = a;
        line[x + 1] = b;
        line[x + 2] = c;
        line[x + 3] = d;
    }
    for (; x < width; ++x) {
        line[x] = table[line[x]];
    }
}

bool always() { return true; }

constexpr std::array variants{
#ifdef TOVRIN_X86_KERNELS
    KernelVariant{"avx512vbmi", kernel::hasAvx512Vbmi, kernel::reduceEachRow<kernel::reduceRowAvx512>,
                  kernel::remapEachRow<kernel::remapRowAvx512>},
    KernelVariant{"avx2", kernel::hasAvx2, kernel::reduceEachRow<kernel::reduceRowAvx2>,
                  kernel::remapEachRow<kernel::remapRowAvx2>},
#endif
    KernelVariant{"portable", always, kernel::reduceEachRow<reduceRowPortable>,
                  kernel::remapEachRow<remapRowPortable>},
};

}  // namespace

std::span<const KernelVariant> kernelVariants() { return variants; }

const KernelVariant& chosenKernelVariant() {
    static const KernelVariant& chosen = [] () -> const KernelVariant& {
        for (const KernelVariant& variant : variants) {
            if (variant.supported()) {
                return variant;
            }
        }
        return variants.back();
    }();
    return chosen;
}

void reduceRows(const std::uint8_t* colour, std::uint8_t* gray, std::int32_t width, std::int32_t rowCount,
                std::int32_t stride24, std::int32_t stride8) {
    chosenKernelVariant().reduceRows(colour, gray, width, rowCount, stride24, stride8);
}

void remapRows(std::uint8_t* rows, std::int32_t width, std::int32_t rowCount, std::int32_t stride,
               const GrayTable& table) {
    chosenKernelVariant().remapRows(rows, width, rowCount, stride, table);
}

}  // namespace tovrin
