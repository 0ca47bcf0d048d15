#include "support/tool_test.h"

namespace fixture {

std::uint8_t pixelGray(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const double green59 = green * 0.59;
    const double red30 = red * 0.30;
    const double blue11 = blue * 0.11;
    return static_cast<std::uint8_t>(((green59 + red30) + blue11) + 0.5);
}

std::uint8_t paletteGray(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    const double blue11 = blue * 0.11;
    const double green59 = green * 0.59;
    const double red30 = red * 0.30;
    return static_cast<std::uint8_t>(((blue11 + green59) + red30) + 0.5);
}

namespace {

Bytes compactHeader(const Bytes& source, std::uint32_t imageSize) {
    Bytes out(source.begin(), source.begin() + 58);
    putU32(out, at::bfSize, 58 + imageSize);
    putU32(out, at::bfOffBits, 58);
    putU16(out, at::biBitCount, 8);
    putU32(out, at::biSizeImage, imageSize);
    putU32(out, at::biClrUsed, 1);
    putU32(out, at::bmiColors, 0);
    return out;
}

}  // namespace

Bytes expectedFromColour(const Bytes& source) {
    const int width = static_cast<int>(getU32(source, at::biWidth));
    const int height = static_cast<int>(getU32(source, at::biHeight));
    const std::size_t inStride = strideOf(width, 24);
    const std::size_t outStride = strideOf(width, 8);
    const std::size_t offBits = getU32(source, at::bfOffBits);
    Bytes rows(source.begin() + static_cast<std::ptrdiff_t>(offBits),
               source.begin() + static_cast<std::ptrdiff_t>(offBits + inStride * height));
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const std::size_t from = row * inStride + 3 * x;
            rows[row * outStride + x] = pixelGray(rows[from], rows[from + 1], rows[from + 2]);
        }
    }
    rows.resize(outStride * height);
    Bytes out = compactHeader(source, static_cast<std::uint32_t>(rows.size()));
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

Bytes expectedFromPalette(const Bytes& source) {
    const int width = static_cast<int>(getU32(source, at::biWidth));
    const int height = static_cast<int>(getU32(source, at::biHeight));
    const std::size_t stride = strideOf(width, 8);
    const std::size_t offBits = getU32(source, at::bfOffBits);
    std::uint8_t table[256];
    for (int i = 0; i < 256; ++i) {
        const std::size_t entry = 54 + 4 * static_cast<std::size_t>(i);
        table[i] = paletteGray(source.at(entry), source.at(entry + 1), source.at(entry + 2));
    }
    Bytes rows(source.begin() + static_cast<std::ptrdiff_t>(offBits),
               source.begin() + static_cast<std::ptrdiff_t>(offBits + stride * height));
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            rows[row * stride + x] = table[rows[row * stride + x]];
        }
    }
    Bytes out = compactHeader(source, static_cast<std::uint32_t>(rows.size()));
    out.insert(out.end(), rows.begin(), rows.end());
    return out;
}

}  // namespace fixture
