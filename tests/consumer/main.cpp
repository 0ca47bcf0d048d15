// Uses the installed library as an outside project would: the inline
// luminance functions compiled here, and rowStride and reduceRows from the
// compiled library. Exits 0 when every value is right.

#include "bitmap/bitmap_file.h"
#include "gray/gray_kernels.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void expect(const char* what, long have, long want) {
    if (have != want) {
        std::printf("%s: have %ld, want %ld\n", what, have, want);
        ++failures;
    }
}

}  // namespace

int main() {
    // Red 1, green 4, blue 44 sums to exactly 7.5: one fused multiply-add in
    // the inline code makes it 7. Volatile keeps the compiler from folding the
    // sum at compile time, where it would never contract.
    volatile std::uint8_t blue = 44;
    volatile std::uint8_t green = 4;
    volatile std::uint8_t red = 1;
    expect("grayFromPixel(44, 4, 1)", tovrin::grayFromPixel(blue, green, red), 8);
    expect("grayFromPaletteEntry(44, 4, 1)", tovrin::grayFromPaletteEntry(blue, green, red), 7);

    expect("rowStride(61, 24)", tovrin::rowStride(61, 24), 184);
    expect("rowStride(61, 8)", tovrin::rowStride(61, 8), 64);
    expect("rowStride(-5, 8)", tovrin::rowStride(-5, 8), -4);

    // Two 24-bit pixels, (44, 4, 1) and white, packed into one gray row.
    std::array<std::uint8_t, 8> row{44, 4, 1, 255, 255, 255, 0, 0};
    tovrin::reduceRows(row.data(), row.data(), 2, 1, 8, 4);  // width 2, one row
    expect("reduceRows, first pixel", row[0], 8);
    expect("reduceRows, second pixel", row[1], 255);

    bool refused = false;
    try {
        tovrin::rowStride(0x7fffffff, 24);
    } catch (const char* text) {
        refused = std::strcmp(text, tovrin::message::badImageFormat) == 0;
    }
    expect("rowStride beyond 32 bits refused", refused, true);

    return failures == 0 ? 0 : 1;
}
