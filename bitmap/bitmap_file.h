#pragma once

// Everything tovrin knows of the Windows bitmap format: the 58-byte header
// block and its checks, the row stride rule, loading the pixel rows into one
// buffer, and the two gray output forms. Failures are thrown as message texts
// (bitmap/messages.h).

#include "bitmap/messages.h"
#include "bitmap/pixel_buffer.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>

namespace tovrin {

// Closes a stream without examining the result; used when a run is abandoned.
struct StreamCloser {
    void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

inline constexpr int fileHeaderSize = 14;       // BITMAPFILEHEADER
inline constexpr int bitmapInfoSize = 44;       // BITMAPINFOHEADER and bmiColors[0]
inline constexpr int headerBlockSize = 58;      // where a compact gray bitmap's pixels start
inline constexpr int fullPaletteEntries = 256;
inline constexpr int fullPaletteOffset = 1078;  // 14 + 40 + 256 * 4

struct RgbQuad {
    std::uint8_t rgbBlue = 0;
    std::uint8_t rgbGreen = 0;
    std::uint8_t rgbRed = 0;
    std::uint8_t rgbReserved = 0;
};

// The first 58 bytes of a source, decoded field by field (little-endian on
// disk, whatever the host). Fields the writers do not set are written back
// exactly as read.
struct HeaderBlock {
    // BITMAPFILEHEADER, bytes 0 to 13
    std::uint16_t bfType = 0;
    std::uint32_t bfSize = 0;
    std::uint16_t bfReserved1 = 0;
    std::uint16_t bfReserved2 = 0;
    std::uint32_t bfOffBits = 0;
    // BITMAPINFOHEADER, bytes 14 to 53
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
    // bytes 54 to 57: taken as the first palette entry whatever biSize says
    std::array<RgbQuad, 1> bmiColors{};
};

// Opens `path` for binary reading; an empty Stream when it cannot.
Stream openForReading(const char* path);

// Reads and checks the 14- and 44-byte records; leaves the source just after
// byte 57. Throws message::badImageFormat.
HeaderBlock readHeaderBlock(std::FILE* source);

// Reads one whole 4-byte palette entry from the current position.
// Throws message::badImageFormat when fewer than 4 bytes are left.
RgbQuad readPaletteEntry(std::FILE* source);

// Bytes in one stored row: width * bitsPerPixel bits rounded up to whole
// 32-bit words, rounding toward plus infinity for negative widths too.
// Throws message::badImageFormat when the result, or width * bitsPerPixel + 31
// on the way to it, does not fit the signed 32-bit range the format uses.
std::int32_t rowStride(std::int32_t width, int bitsPerPixel);

// rowStride(biWidth, bitsPerPixel) * biHeight, range-checked the same way.
// Negative results are passed on: allocation refuses them.
std::int32_t pixelDataSize(const HeaderBlock& header, int bitsPerPixel);

// How rows are worked on as soon as they have been read. Source rows are
// `rowStride` bytes apart; `convert` turns `count` of them, starting at
// `rows`, into result rows `resultStride` bytes apart from `results`, storing
// the first `resultBytes` of each. Result row r lies r * resultStride bytes
// from the start of the buffer, never past where source row r lay in file
// order, and never longer than a source row (both strides positive); its
// bytes past `resultBytes` end up as they lay there in file order.
struct RowConversion {
    std::int32_t rowStride;
    std::int32_t resultStride;
    std::int32_t resultBytes;
    std::function<void(const std::uint8_t* rows, std::uint8_t* results, std::int32_t count)> convert;
};

// Allocates `size` bytes, reads them from bfOffBits, then closes the source.
// Throws message::memoryAllocationFailed or message::badImageFormat.
// With a `conversion` (`size` is then a whole number of its rows), the rows
// are read in pieces of about a cache's size and converted as they come, so
// that they are worked on while still in cache; a short source still fails
// before the function returns.
PixelBuffer loadPixelRows(Stream& source, const HeaderBlock& header, std::int32_t size,
                          const RowConversion* conversion = nullptr);

// Writes the 58-byte header block with a single black palette entry, then `pixels`.
// Throws message::cannotCreateFile or message::cannotWriteToFile.
void writeCompactGrayBitmap(const char* destinationPath, const HeaderBlock& header,
                            std::span<const std::uint8_t> pixels);

// Writes the header, palette entry 0 as read, the gray ramp (i, i, i, 0) for
// entries 1 to 255, then `pixels`. Throws as writeCompactGrayBitmap.
void writeFullPaletteGrayBitmap(const char* destinationPath, const HeaderBlock& header,
                                std::span<const std::uint8_t> pixels);

}  // namespace tovrin
