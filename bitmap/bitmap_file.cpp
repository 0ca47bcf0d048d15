#include "bitmap/bitmap_file.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace tovrin {

namespace {

// Rows arrive in pieces small enough to stay in a core's own cache until they
// have been converted.
constexpr std::size_t arrivalPiece = std::size_t{512} << 10;
constexpr std::int64_t fileBlock = 4096;

using FileHeaderBytes = std::array<std::uint8_t, fileHeaderSize>;
using BitmapInfoBytes = std::array<std::uint8_t, bitmapInfoSize>;

// Little-endian fields at byte offsets within a record.
std::uint16_t readU16(const std::uint8_t* at) {
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t readU32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

std::int32_t readI32(const std::uint8_t* at) { return static_cast<std::int32_t>(readU32(at)); }

void writeU16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void writeU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void writeI32(std::uint8_t* at, std::int32_t value) { writeU32(at, static_cast<std::uint32_t>(value)); }

RgbQuad decodeRgbQuad(const std::uint8_t* at) { return {at[0], at[1], at[2], at[3]}; }

void encodeRgbQuad(std::uint8_t* at, const RgbQuad& entry) {
    at[0] = entry.rgbBlue;
    at[1] = entry.rgbGreen;
    at[2] = entry.rgbRed;
    at[3] = entry.rgbReserved;
}

void decodeFileHeader(const FileHeaderBytes& bytes, HeaderBlock& header) {
    header.bfType = readU16(&bytes[0]);
    header.bfSize = readU32(&bytes[2]);
    header.bfReserved1 = readU16(&bytes[6]);
    header.bfReserved2 = readU16(&bytes[8]);
    header.bfOffBits = readU32(&bytes[10]);
}

// Offsets below are relative to byte 14 of the file.
void decodeBitmapInfo(const BitmapInfoBytes& bytes, HeaderBlock& header) {
    header.biSize = readU32(&bytes[0]);
    header.biWidth = readI32(&bytes[4]);
    header.biHeight = readI32(&bytes[8]);
    header.biPlanes = readU16(&bytes[12]);
    header.biBitCount = readU16(&bytes[14]);
    header.biCompression = readU32(&bytes[16]);
    header.biSizeImage = readU32(&bytes[20]);
    header.biXPelsPerMeter = readI32(&bytes[24]);
    header.biYPelsPerMeter = readI32(&bytes[28]);
    header.biClrUsed = readU32(&bytes[32]);
    header.biClrImportant = readU32(&bytes[36]);
    header.bmiColors[0] = decodeRgbQuad(&bytes[40]);
}

FileHeaderBytes encodeFileHeader(const HeaderBlock& header) {
    FileHeaderBytes bytes{};
    writeU16(&bytes[0], header.bfType);
    writeU32(&bytes[2], header.bfSize);
    writeU16(&bytes[6], header.bfReserved1);
    writeU16(&bytes[8], header.bfReserved2);
    writeU32(&bytes[10], header.bfOffBits);
    return bytes;
}

BitmapInfoBytes encodeBitmapInfo(const HeaderBlock& header) {
    BitmapInfoBytes bytes{};
    writeU32(&bytes[0], header.biSize);
    writeI32(&bytes[4], header.biWidth);
    writeI32(&bytes[8], header.biHeight);
    writeU16(&bytes[12], header.biPlanes);
    writeU16(&bytes[14], header.biBitCount);
    writeU32(&bytes[16], header.biCompression);
    writeU32(&bytes[20], header.biSizeImage);
    writeI32(&bytes[24], header.biXPelsPerMeter);
    writeI32(&bytes[28], header.biYPelsPerMeter);
    writeU32(&bytes[32], header.biClrUsed);
    writeU32(&bytes[36], header.biClrImportant);
    encodeRgbQuad(&bytes[40], header.bmiColors[0]);
    return bytes;
}

// Reads one whole record of `size` bytes; anything shorter is a bad source.
void readRecord(std::FILE* source, void* record, std::size_t size) {
    if (size > 0 && std::fread(record, size, 1, source) != 1) {
        throw message::badImageFormat;
    }
}

void writeBytes(std::FILE* destination, const void* bytes, std::size_t size) {
    if (size > 0 && std::fwrite(bytes, 1, size, destination) != size) {
        throw message::cannotWriteToFile;
    }
}

Stream createForWriting(const char* path) {
    Stream destination(std::fopen(path, "wb"));
    if (!destination) {
        throw message::cannotCreateFile;
    }
    return destination;
}

// A result that still sits in the stream's buffer is not written yet: a full
// disk shows only when it is flushed, so flushing and closing are checked too.
void finishWriting(Stream& destination) {
    std::FILE* stream = destination.release();
    const bool flushed = std::fflush(stream) == 0;
    const bool closed = std::fclose(stream) == 0;
    if (!flushed || !closed) {
        throw message::cannotWriteToFile;
    }
}

void writeHeaderRecords(std::FILE* destination, const HeaderBlock& header) {
    const FileHeaderBytes fileHeader = encodeFileHeader(header);
    writeBytes(destination, fileHeader.data(), fileHeader.size());
    const BitmapInfoBytes bitmapInfo = encodeBitmapInfo(header);
    writeBytes(destination, bitmapInfo.data(), bitmapInfo.size());
}

}  // namespace

Stream openForReading(const char* path) {
    Stream source(std::fopen(path, "rb"));
    if (!source) {
        return source;
    }
    // Some systems open a folder for reading and fail only at the first read;
    // a source that cannot be read at all is no file to convert. Running out
    // of bytes is not such a failure: an empty file is a bad image.
    const int first = std::fgetc(source.get());
    if (first == EOF) {
        return std::ferror(source.get()) ? Stream() : std::move(source);
    }
    std::ungetc(first, source.get());
    return source;
}

HeaderBlock readHeaderBlock(std::FILE* source) {
    HeaderBlock header;
    FileHeaderBytes fileHeader;
    readRecord(source, fileHeader.data(), fileHeader.size());
    decodeFileHeader(fileHeader, header);
    if (header.bfType != 0x4D42) {  // "BM"
        throw message::badImageFormat;
    }
    BitmapInfoBytes bitmapInfo;
    readRecord(source, bitmapInfo.data(), bitmapInfo.size());
    decodeBitmapInfo(bitmapInfo, header);
    if (header.biPlanes != 1) {
        throw message::badImageFormat;
    }
    return header;
}

RgbQuad readPaletteEntry(std::FILE* source) {
    std::array<std::uint8_t, 4> entry;
    readRecord(source, entry.data(), entry.size());
    return decodeRgbQuad(entry.data());
}

std::int32_t rowStride(std::int32_t width, int bitsPerPixel) {
    // In 64 bits neither step can wrap; the format's own arithmetic is signed
    // 32-bit, so a width whose bit count leaves that range is refused.
    const std::int64_t bits = std::int64_t{width} * bitsPerPixel + 31;
    if (bits < INT32_MIN || bits > INT32_MAX) {
        throw message::badImageFormat;
    }
    // Arithmetic shift then clearing the low two bits rounds up to whole
    // 4-byte words, toward plus infinity also for negative widths.
    return static_cast<std::int32_t>((bits >> 3) & ~std::int64_t{3});
}

std::int32_t pixelDataSize(const HeaderBlock& header, int bitsPerPixel) {
    const std::int64_t size = std::int64_t{rowStride(header.biWidth, bitsPerPixel)} * header.biHeight;
    if (size < INT32_MIN || size > INT32_MAX) {
        throw message::badImageFormat;
    }
    return static_cast<std::int32_t>(size);
}

namespace {

// Converts rows piece by piece as they are read. When the results are
// smaller than the rows, each piece is read in just past the results so
// far rather than at its own place in file order: the buffer is then
// touched only about as far as the results reach, and the same few pieces'
// worth of it is used over and over while it is still in cache. Result bytes
// that are not converted (row padding) must still come out as they lay in
// file order; they are kept aside at the far end of the buffer, where
// nothing else goes in that case, and put in place at the end.
class PieceReader {
public:
    PieceReader(std::FILE* source, std::int32_t offset, PixelBuffer& pixels, const RowConversion& conversion)
        : source_(source), offset_(offset), pixels_(pixels), conversion_(conversion),
          rowBytes_(static_cast<std::size_t>(conversion.rowStride)),
          resultRowBytes_(static_cast<std::size_t>(conversion.resultStride)),
          padding_(resultRowBytes_ - static_cast<std::size_t>(conversion.resultBytes)),
          rows_(pixels.size() / rowBytes_) {
        const std::size_t kept = rows_ * padding_;
        // The furthest any piece reaches: past every result, a row's room,
        // a partial row and a whole piece.
        const std::size_t reach =
            rows_ * resultRowBytes_ + 2 * rowBytes_ + static_cast<std::size_t>(fileBlock) + arrivalPiece;
        slide_ = resultRowBytes_ < rowBytes_ && reach + kept <= pixels.size();
        keptAt_ = pixels.size() - kept;
    }

    void readAll() {
        while (consumed_ < pixels_.size()) {
            moveTo(nextPlace());
            const std::size_t count = nextPieceSize();
            std::uint8_t* piece = pixels_.data() + at_ + pending_;
            readRecord(source_, piece, count);
            if (slide_) {
                keepPadding(piece, consumed_, count);
            }
            consumed_ += count;
            pending_ += count;
            convertWholeRows();
        }
        if (slide_) {
            restorePadding();
        }
    }

private:
    // A row's room past the results lets the next row's results end before
    // its own bytes begin; a little more puts the bytes still to be read at
    // the same place within a page as they are within a file block, since
    // the buffer itself starts that way. No row goes past its place in file
    // order, so whatever is still to come fits behind it.
    std::size_t nextPlace() const {
        const std::size_t inFileOrder = rowsDone_ * rowBytes_;
        if (!slide_) {
            return inFileOrder;
        }
        const std::size_t pastResults = rowsDone_ * resultRowBytes_ + rowBytes_;
        const std::size_t block = static_cast<std::size_t>(fileBlock);
        const std::size_t inStep = (consumed_ - pending_ - pastResults % block + block) % block;
        return std::min(pastResults + inStep, inFileOrder);
    }

    void moveTo(std::size_t place) {
        if (place != at_) {
            std::memmove(pixels_.data() + place, pixels_.data() + at_, pending_);
            at_ = place;
        }
    }

    // Pieces end on a block boundary of the file, so that the stream hands
    // each read straight to the system instead of through its own buffer.
    std::size_t nextPieceSize() const {
        const std::int64_t position = offset_ + static_cast<std::int64_t>(consumed_);
        const std::int64_t end = (position + static_cast<std::int64_t>(arrivalPiece)) / fileBlock * fileBlock;
        return std::min(pixels_.size() - consumed_, static_cast<std::size_t>(end - position));
    }

    void convertWholeRows() {
        const std::size_t rows = pending_ / rowBytes_;
        if (rows == 0) {
            return;
        }
        conversion_.convert(pixels_.data() + at_, pixels_.data() + rowsDone_ * resultRowBytes_,
                            static_cast<std::int32_t>(rows));
        rowsDone_ += rows;
        at_ += rows * rowBytes_;
        pending_ -= rows * rowBytes_;
    }

    // `piece` holds the `count` bytes from `from` on in file order; keeps
    // those that belong at a result row's padding.
    void keepPadding(const std::uint8_t* piece, std::size_t from, std::size_t count) {
        if (padding_ == 0) {
            return;
        }
        const std::size_t to = std::min(from + count, rows_ * resultRowBytes_);
        for (std::size_t row = from / resultRowBytes_; row * resultRowBytes_ < to; ++row) {
            const std::size_t paddingStart = row * resultRowBytes_ + resultRowBytes_ - padding_;
            for (std::size_t k = 0; k < padding_; ++k) {
                const std::size_t at = paddingStart + k;
                if (at >= from && at < to) {
                    pixels_.data()[keptAt_ + row * padding_ + k] = piece[at - from];
                }
            }
        }
    }

    void restorePadding() {
        if (padding_ == 0) {
            return;
        }
        for (std::size_t row = 0; row < rows_; ++row) {
            std::memcpy(pixels_.data() + row * resultRowBytes_ + resultRowBytes_ - padding_,
                        pixels_.data() + keptAt_ + row * padding_, padding_);
        }
    }

    std::FILE* source_;
    std::int32_t offset_;
    PixelBuffer& pixels_;
    const RowConversion& conversion_;
    std::size_t rowBytes_;
    std::size_t resultRowBytes_;
    std::size_t padding_;   // result bytes per row left unconverted
    std::size_t rows_;
    bool slide_ = false;
    std::size_t keptAt_ = 0;
    std::size_t consumed_ = 0;  // bytes read from the source so far
    std::size_t rowsDone_ = 0;
    std::size_t at_ = 0;        // where the next row's bytes begin
    std::size_t pending_ = 0;   // how many of them have arrived
};

}  // namespace

PixelBuffer loadPixelRows(Stream& source, const HeaderBlock& header, std::int32_t size,
                          const RowConversion* conversion) {
    PixelBuffer pixels = PixelBuffer::allocate(size, header.bfOffBits);
    // bfOffBits is taken as a signed 32-bit offset: 2^31 and above are negative.
    const auto offset = static_cast<std::int32_t>(header.bfOffBits);
    if (offset < 0 || std::fseek(source.get(), offset, SEEK_SET) != 0) {
        throw message::badImageFormat;
    }
    if (conversion != nullptr) {
        PieceReader(source.get(), offset, pixels, *conversion).readAll();
    } else {
        readRecord(source.get(), pixels.data(), pixels.size());
    }
    source.reset();
    return pixels;
}

void writeCompactGrayBitmap(const char* destinationPath, const HeaderBlock& header,
                            std::span<const std::uint8_t> pixels) {
    Stream destination = createForWriting(destinationPath);
    HeaderBlock compact = header;
    const auto size = static_cast<std::uint32_t>(pixels.size());
    compact.bfOffBits = headerBlockSize;
    compact.bfSize = size + headerBlockSize;
    compact.biBitCount = 8;
    compact.biSizeImage = size;
    compact.biClrUsed = 1;
    compact.bmiColors[0] = RgbQuad{};
    writeHeaderRecords(destination.get(), compact);
    writeBytes(destination.get(), pixels.data(), pixels.size());
    finishWriting(destination);
}

void writeFullPaletteGrayBitmap(const char* destinationPath, const HeaderBlock& header,
                                std::span<const std::uint8_t> pixels) {
    Stream destination = createForWriting(destinationPath);
    HeaderBlock full = header;
    const auto size = static_cast<std::uint32_t>(pixels.size());
    full.bfOffBits = fullPaletteOffset;
    full.bfSize = size + fullPaletteOffset;
    full.biSizeImage = size;
    full.biClrUsed = fullPaletteEntries;
    writeHeaderRecords(destination.get(), full);
    // Entry 0 went out with the header, as read; the rest is the gray ramp.
    for (int level = 1; level < fullPaletteEntries; ++level) {
        const auto gray = static_cast<std::uint8_t>(level);
        const std::array<std::uint8_t, 4> entry{gray, gray, gray, 0};
        writeBytes(destination.get(), entry.data(), entry.size());
    }
    writeBytes(destination.get(), pixels.data(), pixels.size());
    finishWriting(destination);
}

}  // namespace tovrin
