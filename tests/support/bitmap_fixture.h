#pragma once

// Small bitmaps built in code for the tests, written byte by byte so that they
// do not share a line with the tool's own encoder.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fixture {

using Bytes = std::vector<std::uint8_t>;

struct Bgr {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
};

struct Quad {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
    std::uint8_t reserved = 0;
};

// Byte offsets of the header fields.
namespace at {
inline constexpr std::size_t bfType = 0;
inline constexpr std::size_t bfSize = 2;
inline constexpr std::size_t bfReserved1 = 6;
inline constexpr std::size_t bfOffBits = 10;
inline constexpr std::size_t biSize = 14;
inline constexpr std::size_t biWidth = 18;
inline constexpr std::size_t biHeight = 22;
inline constexpr std::size_t biPlanes = 26;
inline constexpr std::size_t biBitCount = 28;
inline constexpr std::size_t biCompression = 30;
inline constexpr std::size_t biSizeImage = 34;
inline constexpr std::size_t biXPelsPerMeter = 38;
inline constexpr std::size_t biYPelsPerMeter = 42;
inline constexpr std::size_t biClrUsed = 46;
inline constexpr std::size_t biClrImportant = 50;
inline constexpr std::size_t bmiColors = 54;
}  // namespace at

void putU16(Bytes& bytes, std::size_t offset, std::uint16_t value);
void putU32(Bytes& bytes, std::size_t offset, std::uint32_t value);
std::uint16_t getU16(const Bytes& bytes, std::size_t offset);

// Copies of `bytes` with one field changed, or cut to `size` bytes.
Bytes withU16(Bytes bytes, std::size_t offset, std::uint16_t value);
Bytes withU32(Bytes bytes, std::size_t offset, std::uint32_t value);
Bytes truncated(Bytes bytes, std::size_t size);
std::uint32_t getU32(const Bytes& bytes, std::size_t offset);

// Row length in bytes, rounded up to 4, for a positive width.
std::size_t strideOf(int width, int bitsPerPixel);

// A 24-bit bitmap, rows in file order, padding bytes set to `padding`. The
// fields the tool never looks at carry distinctive values so that the tests
// can see them kept.
Bytes bitmap24(int width, int height, const std::vector<Bgr>& pixels, std::uint8_t padding = 0xEE);

// An 8-bit bitmap with the given palette (any length) directly after the
// 40-byte information header, then the rows of indices.
Bytes bitmap8(int width, int height, const std::vector<Quad>& palette, const std::vector<std::uint8_t>& indices,
              std::uint8_t padding = 0xEE);

// The 256 grays (i, i, i, 0): a palette under which every index is its own gray level.
std::vector<Quad> grayRamp();

// A header block alone (58 bytes) with the given size fields, for inputs that
// are all header.
Bytes headerOnly(int width, int height, int bitCount, std::uint32_t offBits = 58);

// The pixels of a 24-bit fixture, as deterministic pseudo-random colours.
std::vector<Bgr> randomPixels(std::size_t count, std::uint32_t seed);

void writeFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes readFile(const std::filesystem::path& path);

}  // namespace fixture
