// The format and colour rules on their own: row stride, size limits, header
// checks, and the luminance over every colour.

#include "bitmap/bitmap_file.h"
#include "gray/gray_convert.h"
#include "support/bitmap_fixture.h"
#include "support/tool_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

namespace {

using fixture::Bytes;

struct StrideCase {
    std::int32_t width;
    int bitsPerPixel;
    std::int32_t stride;
};

TEST(RowStride, RoundsUpToWholeWordsTowardPlusInfinity) {
    const StrideCase cases[] = {
        {0, 8, 0},     {1, 8, 4},     {3, 8, 4},      {4, 8, 4},       {5, 8, 8},
        {0, 24, 0},    {1, 24, 4},    {2, 24, 8},     {3, 24, 12},     {4, 24, 12},     {5, 24, 16},
        {-1, 8, 0},    {-1, 24, 0},   {-5, 8, -4},    {-5, 24, -12},   {-4, 24, -12},
        // The largest widths whose bit count plus 31 still fits in 32 bits.
        {268435452, 8, 268435452},    {89478484, 24, 268435452},
        {INT32_MIN / 8, 8, INT32_MIN / 8},
    };
    for (const StrideCase& c : cases) {
        EXPECT_EQ(tovrin::rowStride(c.width, c.bitsPerPixel), c.stride)
            << "width " << c.width << " at " << c.bitsPerPixel << " bits";
    }
}

TEST(RowStride, RefusesWidthsWhoseBitCountLeavesThe32BitRange) {
    const StrideCase cases[] = {
        {268435453, 8, 0}, {89478485, 24, 0}, {INT32_MAX, 8, 0}, {INT32_MAX, 24, 0},
        {INT32_MIN, 8, 0}, {INT32_MIN, 24, 0}, {-89478487, 24, 0},
    };
    for (const StrideCase& c : cases) {
        try {
            tovrin::rowStride(c.width, c.bitsPerPixel);
            ADD_FAILURE() << "width " << c.width << " at " << c.bitsPerPixel << " bits was accepted";
        } catch (const char* message) {
            EXPECT_STREQ(message, "Error: Bad image format");
        }
    }
}

struct SizeCase {
    std::int32_t width;
    std::int32_t height;
    int bitsPerPixel;
    std::int64_t size;  // INT64_MIN: refused as a bad format
};

TEST(PixelDataSize, IsStrideTimesHeightWithinThe32BitRange) {
    constexpr std::int64_t refused = INT64_MIN;
    const SizeCase cases[] = {
        {3, 2, 24, 24},          {3, 2, 8, 8},           {0, 7, 24, 0},          {7, 0, 8, 0},
        {5, -1, 8, -8},          {-5, -1, 8, 4},          {-5, -1, 24, 12},       {-5, 3, 24, -36},
        {65536, 32767, 8, 65536LL * 32767},               {65536, 32768, 8, refused},
        {100000, 100000, 24, refused},                    {-100000, -100000, 24, refused},
        {4, INT32_MIN, 8, refused},                       {0, INT32_MIN, 24, 0},
        {1, INT32_MAX, 8, refused},
    };
    for (const SizeCase& c : cases) {
        tovrin::HeaderBlock header;
        header.biWidth = c.width;
        header.biHeight = c.height;
        std::int64_t size = refused;
        try {
            size = tovrin::pixelDataSize(header, c.bitsPerPixel);
        } catch (const char* message) {
            EXPECT_STREQ(message, "Error: Bad image format");
        }
        EXPECT_EQ(size, c.size) << c.width << " x " << c.height << " at " << c.bitsPerPixel << " bits";
    }
}

// readHeaderBlock on a real file: which inputs pass, and where it leaves the stream.
struct HeaderCase {
    const char* name;
    Bytes bytes;
    bool accepted;
};

TEST(ReadHeaderBlock, ChecksSignatureAndPlanesOnWholeRecords) {
    const Bytes good = fixture::headerOnly(3, 2, 24);
    const HeaderCase cases[] = {
        {"complete header", good, true},
        {"empty", Bytes{}, false},
        {"13 bytes", Bytes(good.begin(), good.begin() + 13), false},
        {"14 bytes", Bytes(good.begin(), good.begin() + 14), false},
        {"57 bytes", Bytes(good.begin(), good.begin() + 57), false},
        {"signature MB", fixture::withU16(good, fixture::at::bfType, 0x424D), false},
        {"signature bm", fixture::withU16(good, fixture::at::bfType, 0x6D62), false},
        {"planes 0", fixture::withU16(good, fixture::at::biPlanes, 0), false},
        {"planes 2", fixture::withU16(good, fixture::at::biPlanes, 2), false},
        {"planes 257", fixture::withU16(good, fixture::at::biPlanes, 257), false},
        {"bit count 16 is not a header matter", fixture::withU16(good, fixture::at::biBitCount, 16), true},
    };
    fixture::TempDir dir;
    for (const HeaderCase& c : cases) {
        const std::string path = dir.file("source.bmp");
        fixture::writeFile(path, c.bytes);
        tovrin::Stream source = tovrin::openForReading(path.c_str());
        ASSERT_TRUE(source) << c.name;
        try {
            tovrin::readHeaderBlock(source.get());
            EXPECT_TRUE(c.accepted) << c.name;
            EXPECT_EQ(std::ftell(source.get()), 58) << c.name;
        } catch (const char* message) {
            EXPECT_FALSE(c.accepted) << c.name;
            EXPECT_STREQ(message, "Error: Bad image format") << c.name;
        }
    }
}

TEST(ReadHeaderBlock, DecodesEveryFieldLittleEndian) {
    Bytes bytes = fixture::headerOnly(-7, 123456, 24, 0x89ABCDEF);
    fixture::putU32(bytes, fixture::at::biCompression, 0x01020304);
    fixture::TempDir dir;
    const std::string path = dir.file("source.bmp");
    fixture::writeFile(path, bytes);
    tovrin::Stream source = tovrin::openForReading(path.c_str());
    const tovrin::HeaderBlock header = tovrin::readHeaderBlock(source.get());
    EXPECT_EQ(header.bfType, 0x4D42);
    EXPECT_EQ(header.bfReserved1, 0x1234);
    EXPECT_EQ(header.bfReserved2, 0x5678);
    EXPECT_EQ(header.bfOffBits, 0x89ABCDEFu);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, -7);
    EXPECT_EQ(header.biHeight, 123456);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, 0x01020304u);
    EXPECT_EQ(header.biXPelsPerMeter, 2835);
    EXPECT_EQ(header.biYPelsPerMeter, 3780);
    EXPECT_EQ(header.biClrImportant, 0xC0FFEEu);
    EXPECT_EQ(header.bmiColors[0].rgbBlue, 0x10);
    EXPECT_EQ(header.bmiColors[0].rgbGreen, 0x20);
    EXPECT_EQ(header.bmiColors[0].rgbRed, 0x30);
    EXPECT_EQ(header.bmiColors[0].rgbReserved, 0x40);
}

struct Colour {
    std::uint8_t blue, green, red, gray;
};

TEST(Luminance, ReferenceValues) {
    const Colour both[] = {
        {0, 0, 0, 0},       {255, 255, 255, 255}, {0, 0, 255, 77}, {0, 255, 0, 150},
        {255, 0, 0, 28},    {128, 128, 128, 128}, {1, 1, 1, 1},    {254, 254, 254, 254},
        // 0.59 * 5 + 0.11 * 5 + 0.5 is 4 exactly by the written rule; a fused
        // multiply-add lands just below it and truncates to 3.
        {5, 5, 0, 4},
    };
    for (const Colour& c : both) {
        EXPECT_EQ(tovrin::grayFromPixel(c.blue, c.green, c.red), c.gray);
        EXPECT_EQ(tovrin::grayFromPaletteEntry(c.blue, c.green, c.red), c.gray);
    }
    // red 1, green 4, blue 44 sums to exactly 7.5: the two addition orders part there.
    EXPECT_EQ(tovrin::grayFromPixel(44, 4, 1), 8);
    EXPECT_EQ(tovrin::grayFromPaletteEntry(44, 4, 1), 7);
}

TEST(Luminance, EveryColourAgreesWithTheExactSumExceptAtHalves) {
    long halves = 0;
    long differing = 0;
    long higherAsPixel = 0;
    long higherAsEntry = 0;
    long wrong = 0;
    for (int red = 0; red < 256; ++red) {
        for (int green = 0; green < 256; ++green) {
            for (int blue = 0; blue < 256; ++blue) {
                const auto b = static_cast<std::uint8_t>(blue);
                const auto g = static_cast<std::uint8_t>(green);
                const auto r = static_cast<std::uint8_t>(red);
                const int asPixel = tovrin::grayFromPixel(b, g, r);
                const int asEntry = tovrin::grayFromPaletteEntry(b, g, r);
                // The exact sum in hundredths: 0.59 g + 0.30 r + 0.11 b.
                const int hundredths = 59 * green + 30 * red + 11 * blue;
                const int rounded = (hundredths + 50) / 100;
                if (hundredths % 100 == 50) {
                    ++halves;
                    // Only the last rounding step can go either way at a half.
                    if ((asPixel != rounded && asPixel != rounded - 1) ||
                        (asEntry != rounded && asEntry != rounded - 1)) {
                        ++wrong;
                    }
                    differing += asPixel != asEntry;
                    higherAsPixel += asPixel > asEntry;
                    higherAsEntry += asEntry > asPixel;
                } else if (asPixel != rounded || asEntry != rounded) {
                    ++wrong;
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(halves, 167836);
    EXPECT_EQ(differing, 26562);
    EXPECT_EQ(higherAsPixel, 6696);
    EXPECT_EQ(higherAsEntry, 19866);
}

}  // namespace

namespace {

TEST(PixelBuffer, BlocksOfEverySizeAreWholeAndOwned) {
    constexpr std::int32_t mib = 1 << 20;
    const std::int32_t sizes[] = {0, 1, 4095, 2 * mib - 1, 2 * mib, 2 * mib + 1, 4 * mib + mib / 2, 7 * mib + 3};
    // Where the rows start in the file: a large block starts at the same place within a page.
    const std::uint32_t filePositions[] = {0, 54, 1078, 4095, 4096 + 7};
    for (int round = 0; round < 8; ++round) {
        for (const std::int32_t size : sizes) {
            const std::uint32_t filePosition = filePositions[round % 5];
            tovrin::PixelBuffer buffer = tovrin::PixelBuffer::allocate(size, filePosition);
            ASSERT_NE(buffer.data(), nullptr);
            ASSERT_EQ(buffer.size(), static_cast<std::size_t>(size));
#if defined(__linux__)
            if (size >= 2 * mib) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % 4096, filePosition % 4096);
            }
#endif
            std::fill(buffer.data(), buffer.data() + buffer.size(), std::uint8_t{0xA5});
            tovrin::PixelBuffer moved = std::move(buffer);
            EXPECT_EQ(buffer.data(), nullptr);
            if (size > 0) {
                EXPECT_EQ(moved.data()[size - 1], 0xA5);
            }
        }
    }
}

TEST(PixelBuffer, ANegativeSizeIsAnAllocationFailure) {
    for (const std::int32_t size : {-1, -4, INT32_MIN}) {
        try {
            tovrin::PixelBuffer::allocate(size);
            ADD_FAILURE() << "size " << size << " was allocated";
        } catch (const char* message) {
            EXPECT_STREQ(message, "Error: Memory allocation failed");
        }
    }
}

}  // namespace
