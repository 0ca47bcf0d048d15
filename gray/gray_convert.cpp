#include "gray/gray_convert.h"

#include "gray/gray_kernels.h"

namespace tovrin {

void reduceDirectColour(Stream& source, const HeaderBlock& header, const char* destinationPath) {
    const std::int32_t size24 = pixelDataSize(header, 24);
    PixelBuffer pixels = loadPixelRows(source, header, size24);
    // The 8-bit rows are never longer than the 24-bit ones and never of the
    // opposite sign, so this size fits the buffer and is not negative.
    const std::int32_t size8 = pixelDataSize(header, 8);
    reduceRows(pixels.data(), header.biWidth, header.biHeight, rowStride(header.biWidth, 24),
               rowStride(header.biWidth, 8));
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
    PixelBuffer pixels = loadPixelRows(source, header, size);
    remapRows(pixels.data(), header.biWidth, header.biHeight, rowStride(header.biWidth, 8), table);
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
