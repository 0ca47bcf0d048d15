#pragma once

// Deterministic photo-like test content: smooth gradients and soft shapes
// with a little grain, so that neighbouring pixels are alike as in a real
// photograph, and a 256-colour palette image made from the same scene.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

struct Scene {
    std::int32_t width;
    std::int32_t height;

    // Blue, green, red of pixel (x, y), each 0..255.
    void colourAt(std::int32_t x, std::int32_t y, std::uint32_t& grain, std::uint8_t* bgr) const {
        const double u = double(x) / width;
        const double v = double(y) / height;
        const double sky = 0.5 + 0.5 * std::sin(6.0 * u + 2.0 * v);
        const double hill = 0.5 + 0.5 * std::cos(9.0 * v - 3.0 * u * u);
        const double blob = std::exp(-((u - 0.6) * (u - 0.6) + (v - 0.4) * (v - 0.4)) * 18.0);
        const double channels[3] = {200.0 * sky * (1 - blob) + 30.0, 160.0 * hill + 60.0 * blob + 20.0,
                                    90.0 * u + 150.0 * blob + 10.0};
        for (int c = 0; c < 3; ++c) {
            // Sensor grain of its own in each channel, as in a real photograph.
            grain = grain * 1664525u + 1013904223u;
            const int level = int(channels[c]) + int(grain >> 29) - 4;
            bgr[c] = static_cast<std::uint8_t>(level < 0 ? 0 : level > 255 ? 255 : level);
        }
    }
};

inline std::size_t strideOf(std::int32_t width, int bitsPerPixel) {
    return (std::size_t(width) * bitsPerPixel + 31) / 32 * 4;
}

// 24-bit rows as stored in a bitmap, padding bytes included.
inline std::vector<std::uint8_t> colourRows(std::int32_t width, std::int32_t height) {
    const Scene scene{width, height};
    const std::size_t stride = strideOf(width, 24);
    std::vector<std::uint8_t> rows(stride * height, 0);
    std::uint32_t grain = 12345;
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            scene.colourAt(x, y, grain, &rows[y * stride + 3 * std::size_t(x)]);
        }
    }
    return rows;
}

// A 6 x 7 x 6 colour cube plus a gray ramp: 256 entries of blue, green, red, 0.
inline std::vector<std::uint8_t> paletteEntries() {
    std::vector<std::uint8_t> palette;
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 7; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette.insert(palette.end(), {std::uint8_t(b * 51), std::uint8_t(g * 42), std::uint8_t(r * 51), 0});
            }
        }
    }
    for (int i = 252; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>((i - 252) * 85);
        palette.insert(palette.end(), {level, level, level, 0});
    }
    return palette;
}

// 8-bit rows of indices into paletteEntries(): the scene quantised to the cube.
inline std::vector<std::uint8_t> indexRows(std::int32_t width, std::int32_t height) {
    const std::vector<std::uint8_t> colour = colourRows(width, height);
    const std::size_t stride24 = strideOf(width, 24);
    const std::size_t stride8 = strideOf(width, 8);
    std::vector<std::uint8_t> rows(stride8 * height, 0);
    for (std::size_t at = 0; at < rows.size(); ++at) {
        const std::size_t row = at / stride8;
        const std::size_t x = at % stride8;
        if (x < std::size_t(width)) {
            const std::uint8_t* bgr = &colour[row * stride24 + 3 * x];
            rows[at] = static_cast<std::uint8_t>((bgr[2] * 6 / 256) * 42 + (bgr[1] * 7 / 256) * 6 + bgr[0] * 6 / 256);
        }
    }
    return rows;
}

}  // namespace bench
