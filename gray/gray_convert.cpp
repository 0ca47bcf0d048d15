#include "gray/gray_convert.h"

#include "gray/gray_kernels.h"

namespace tovrin {

namespace {

// Hands each whole row to `convertRows` once, as soon as it has arrived,
// while it is still in cache. Rows exist only for a positive width and
// height; then the stride is positive and the rows fill the buffer exactly.
template <typename ConvertRows>
RowsArrived wholeRowsAsTheyArrive(const HeaderBlock& header, std::int32_t stride, ConvertRows convertRows) {
    if (header.biWidth <= 0 || header.biHeight <= 0) {
        return nullptr;
    }
    return [stride, convertRows, rowsDone = std::int32_t{0}](std::uint8_t* pixels, std::size_t loaded) mutable {
        const auto rowsIn = static_cast<std::int32_t>(loaded / static_cast<std::size_t>(stride));
        convertRows(pixels, rowsDone, rowsIn);
        rowsDone = rowsIn;
    };
}

}  // namespace

void reduceDirectColour(Stream& source, const HeaderBlock& header, const char* destinationPath) {
    const std::int32_t size24 = pixelDataSize(header, 24);
    const std::int32_t stride24 = rowStride(header.biWidth, 24);
    const std::int32_t stride8 = rowStride(header.biWidth, 8);
    // Every gray byte lands before the first colour byte not yet read.
    PixelBuffer pixels = loadPixelRows(
        source, header, size24,
        wholeRowsAsTheyArrive(header, stride24, [&](std::uint8_t* rows, std::int32_t first, std::int32_t end) {
            reduceRows(rows, header.biWidth, first, end, stride24, stride8);
        }));
    // The 8-bit rows are never longer than the 24-bit ones and never of the
    // opposite sign, so this size fits the buffer and is not negative.
    const std::int32_t size8 = pixelDataSize(header, 8);
    writeCompactGrayBitmap(destinationPath, header,
                           {pixels.data(), static_cast<std::size_t>(size8)});
}

void remapPalette(Stream& source, const HeaderBlock& header, const char* destinationPath) {
    // The palette is always taken to hold 256 entries starting at byte 54:
    // entry 0 came with the header block, the other 255 follow it.
    GrayTable table;
    const RgbQuad& first = header.bmiColors[0];
    table[0] = grayFromPaletteEntry(first.rgbBlue, first.rgbGreen, first.rgbRed);
    for (std::size_t index = 1; index < table.size(); ++index) {
        const RgbQuad entry = readPaletteEntry(source.get());
        table[index] = grayFromPaletteEntry(entry.rgbBlue, entry.rgbGreen, entry.rgbRed);
    }
    const std::int32_t size = pixelDataSize(header, 8);
    const std::int32_t stride = rowStride(header.biWidth, 8);
    PixelBuffer pixels = loadPixelRows(
        source, header, size,
        wholeRowsAsTheyArrive(header, stride, [&](std::uint8_t* rows, std::int32_t first, std::int32_t end) {
            remapRows(rows, header.biWidth, first, end, stride, table);
        }));
    writeCompactGrayBitmap(destinationPath, header, {pixels.data(), pixels.size()});
}

void expandGrayPalette(Stream& source, const HeaderBlock& header, const char* destinationPath) {
    if (header.biBitCount != 8) {
        throw message::badImageFormat;
    }
    const std::int32_t size = pixelDataSize(header, 8);
    PixelBuffer pixels = loadPixelRows(source, header, size);
    writeFullPaletteGrayBitmap(destinationPath, header, {pixels.data(), pixels.size()});
}

}  // namespace tovrin
