#include "support/bitmap_fixture.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fixture {

void putU16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes.at(offset) = static_cast<std::uint8_t>(value);
    bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    putU16(bytes, offset, static_cast<std::uint16_t>(value));
    putU16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t getU16(const Bytes& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

std::uint32_t getU32(const Bytes& bytes, std::size_t offset) {
    return getU16(bytes, offset) | std::uint32_t{getU16(bytes, offset + 2)} << 16;
}

Bytes withU16(Bytes bytes, std::size_t offset, std::uint16_t value) {
    putU16(bytes, offset, value);
    return bytes;
}

Bytes withU32(Bytes bytes, std::size_t offset, std::uint32_t value) {
    putU32(bytes, offset, value);
    return bytes;
}

Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

std::size_t strideOf(int width, int bitsPerPixel) {
    return (static_cast<std::size_t>(width) * bitsPerPixel / 8 + 3) / 4 * 4;
}

namespace {

Bytes header(int width, int height, int bitCount, std::uint32_t offBits, std::uint32_t imageSize,
             std::uint32_t colours) {
    Bytes bytes(54, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    putU32(bytes, at::bfSize, offBits + imageSize);
    putU16(bytes, at::bfReserved1, 0x1234);
    putU16(bytes, at::bfReserved1 + 2, 0x5678);
    putU32(bytes, at::bfOffBits, offBits);
    putU32(bytes, at::biSize, 40);
    putU32(bytes, at::biWidth, static_cast<std::uint32_t>(width));
    putU32(bytes, at::biHeight, static_cast<std::uint32_t>(height));
    putU16(bytes, at::biPlanes, 1);
    putU16(bytes, at::biBitCount, static_cast<std::uint16_t>(bitCount));
    putU32(bytes, at::biCompression, 0);
    putU32(bytes, at::biSizeImage, imageSize);
    putU32(bytes, at::biXPelsPerMeter, 2835);
    putU32(bytes, at::biYPelsPerMeter, 3780);
    putU32(bytes, at::biClrUsed, colours);
    putU32(bytes, at::biClrImportant, 0xC0FFEE);
    return bytes;
}

}  // namespace

Bytes bitmap24(int width, int height, const std::vector<Bgr>& pixels, std::uint8_t padding) {
    const std::size_t stride = strideOf(width, 24);
    if (pixels.size() != static_cast<std::size_t>(width) * height) {
        throw std::invalid_argument("bitmap24: pixel count does not match the size");
    }
    Bytes bytes = header(width, height, 24, 54, static_cast<std::uint32_t>(stride * height), 0);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const Bgr& pixel = pixels[static_cast<std::size_t>(row) * width + x];
            bytes.insert(bytes.end(), {pixel.blue, pixel.green, pixel.red});
        }
        bytes.insert(bytes.end(), stride - 3 * static_cast<std::size_t>(width), padding);
    }
    return bytes;
}

Bytes bitmap8(int width, int height, const std::vector<Quad>& palette, const std::vector<std::uint8_t>& indices,
              std::uint8_t padding) {
    const std::size_t stride = strideOf(width, 8);
    if (indices.size() != static_cast<std::size_t>(width) * height) {
        throw std::invalid_argument("bitmap8: index count does not match the size");
    }
    const auto offBits = static_cast<std::uint32_t>(54 + 4 * palette.size());
    Bytes bytes = header(width, height, 8, offBits, static_cast<std::uint32_t>(stride * height),
                         static_cast<std::uint32_t>(palette.size()));
    for (const Quad& entry : palette) {
        bytes.insert(bytes.end(), {entry.blue, entry.green, entry.red, entry.reserved});
    }
    for (int row = 0; row < height; ++row) {
        const auto first = indices.begin() + static_cast<std::ptrdiff_t>(row) * width;
        bytes.insert(bytes.end(), first, first + width);
        bytes.insert(bytes.end(), stride - static_cast<std::size_t>(width), padding);
    }
    return bytes;
}

Bytes headerOnly(int width, int height, int bitCount, std::uint32_t offBits) {
    Bytes bytes = header(width, height, bitCount, offBits, 0, 0);
    bytes.insert(bytes.end(), {0x10, 0x20, 0x30, 0x40});
    return bytes;
}

std::vector<Quad> grayRamp() {
    std::vector<Quad> palette;
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        palette.push_back({level, level, level});
    }
    return palette;
}

std::vector<Bgr> randomPixels(std::size_t count, std::uint32_t seed) {
    std::vector<Bgr> pixels(count);
    std::uint32_t state = seed * 2654435761u + 1;
    for (Bgr& pixel : pixels) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        pixel = {static_cast<std::uint8_t>(state), static_cast<std::uint8_t>(state >> 8),
                 static_cast<std::uint8_t>(state >> 16)};
    }
    return pixels;
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write fixture " + path.string());
    }
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace fixture
