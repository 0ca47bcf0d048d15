#include "gray/gray_convert.h"

#include "gray/gray_kernels.h"

namespace tovrin {

namespace {

// Rows exist only for a positive width and height; then the strides are
// positive and the rows fill the buffer exactly, and they can be converted
// piece by piece as they arrive.
bool hasRows(const HeaderBlock& header) { return header.biWidth > 0 && header.biHeight > 0; }

}  // namespace

void reduceDirectColour(Stream& source, const HeaderBlock& header, const char* destinationPath) {
    const std::int32_t size24 = pixelDataSize(header, 24);
    const std::int32_t stride24 = rowStride(header.biWidth, 24);
    const std::int32_t stride8 = rowStride(header.biWidth, 8);
    const RowConversion packRows{stride24, stride8, header.biWidth,
                                 [&](const std::uint8_t* rows, std::uint8_t* results, std::int32_t count) {
                                     reduceRows(rows, results, header.biWidth, count, stride24, stride8);
                                 }};
    PixelBuffer pixels = loadPixelRows(source, header, size24, hasRows(header) ? &packRows : nullptr);
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
    const RowConversion remapInPlace{stride, stride, header.biWidth,
                                     [&](const std::uint8_t*, std::uint8_t* results, std::int32_t count) {
                                         remapRows(results, header.biWidth, count, stride, table);
                                     }};
    PixelBuffer pixels = loadPixelRows(source, header, size, hasRows(header) ? &remapInPlace : nullptr);
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
