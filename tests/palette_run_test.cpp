// The default run on 8-bit palette sources: every index becomes the gray level
// of its palette entry, with the palette always read as 256 entries.

#include "support/tool_test.h"

#include <climits>
#include <filesystem>

namespace {

using namespace fixture;
namespace fs = std::filesystem;

class PaletteRun : public ToolTest {};

std::vector<std::uint8_t> randomIndices(std::size_t count, std::uint32_t seed) {
    std::vector<std::uint8_t> indices;
    for (const Bgr& pixel : randomPixels(count, seed)) {
        indices.push_back(pixel.red);
    }
    return indices;
}

Bytes pixelsOf(const Bytes& file, std::size_t offset) { return Bytes(file.begin() + offset, file.end()); }

TEST_F(PaletteRun, AGrayPaletteLeavesEveryPixelValueAsItWas) {
    const Bytes source = bitmap8(7, 5, grayRamp(), randomIndices(35, 1), 0x5C);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", source), destination}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 58u + 40u);
    EXPECT_EQ(pixelsOf(out, 58), pixelsOf(source, 1078));
    EXPECT_EQ(getU32(out, at::bfOffBits), 58u);
    EXPECT_EQ(getU32(out, at::bfSize), 98u);
    EXPECT_EQ(getU32(out, at::biClrUsed), 1u);
    EXPECT_EQ(getU32(out, at::biSizeImage), 40u);
    EXPECT_EQ(getU32(out, at::bmiColors), 0u);
    EXPECT_EQ(out, expectedFromPalette(source));
}

TEST_F(PaletteRun, EntriesUseTheirOwnAdditionOrder) {
    // (red 1, green 4, blue 44) sums to exactly 7.5: 7 as a palette entry, 8 as a pixel.
    std::vector<Quad> palette = grayRamp();
    palette[200] = {44, 4, 1};
    const Bytes source = bitmap8(3, 1, palette, {200, 7, 255});
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", source), destination}));
    EXPECT_EQ(pixelsOf(readFile(destination), 58), (Bytes{7, 7, 255, 0xEE}));

    const std::string colourOut = path("colour-out.bmp");
    expectSuccess(runTool({put("colour.bmp", bitmap24(1, 1, {{44, 4, 1}})), colourOut}));
    EXPECT_EQ(readFile(colourOut)[58], 8);
}

TEST_F(PaletteRun, ColourPalettesMatchTheModelAndKeepRowPadding) {
    std::vector<Quad> palette;
    for (const Bgr& colour : randomPixels(256, 9)) {
        palette.push_back({colour.blue, colour.green, colour.red, 0x99});
    }
    for (const int width : {1, 2, 3, 4, 5, 17}) {
        const Bytes source = bitmap8(width, 3, palette, randomIndices(static_cast<std::size_t>(width) * 3, 2), 0xA5);
        const std::string destination = path("out.bmp");
        expectSuccess(runTool({put("in.bmp", source), destination}));
        const Bytes out = readFile(destination);
        EXPECT_EQ(out, expectedFromPalette(source)) << "width " << width;
        if (width == 3) {
            for (std::size_t row = 0; row < 3; ++row) {
                EXPECT_EQ(out.at(58 + 4 * row + 3), 0xA5) << "padding of row " << row;
            }
        }
    }
}

// As for 24-bit sources: rows remapped piece by piece give the same bytes,
// and a source cut short after some pieces fails with nothing created.
TEST_F(PaletteRun, LargeSourcesRemapAcrossReadPieces) {
    std::vector<Quad> palette;
    for (const Bgr& colour : randomPixels(256, 11)) {
        palette.push_back({colour.blue, colour.green, colour.red, 0});
    }
    const Bytes source = bitmap8(3001, 700, palette, randomIndices(3001 * 700, 5), 0x5E);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", source), destination}));
    EXPECT_EQ(readFile(destination), expectedFromPalette(source));

    const std::string never = path("never.bmp");
    const Bytes shortened(source.begin(), source.end() - 5000);
    expectFailure(runTool({put("short.bmp", shortened), never}), text::badFormat);
    EXPECT_FALSE(std::filesystem::exists(never));
}

TEST_F(PaletteRun, ATwoEntryPaletteNeedsTheFileToReachByte1078) {
    const std::vector<Quad> palette = {{0, 0, 255}, {255, 0, 0}};
    // 54 + 8 + 4 x 253 rows = 1074 bytes: too short for the 255 entries read after byte 57.
    const Bytes shortSource = bitmap8(4, 253, palette, std::vector<std::uint8_t>(1012, 1));
    ASSERT_LT(shortSource.size(), 1078u);
    const std::string destination = path("out.bmp");
    expectFailure(runTool({put("short.bmp", shortSource), destination}), text::badFormat);
    EXPECT_FALSE(fs::exists(destination));

    // One more row reaches 1078 bytes: the entries past the real two are pixel bytes.
    std::vector<std::uint8_t> indices(1016, 1);
    indices[0] = 0;
    const Bytes longSource = bitmap8(4, 254, palette, indices);
    ASSERT_EQ(longSource.size(), 1078u);
    expectSuccess(runTool({put("long.bmp", longSource), destination}));
    const Bytes out = readFile(destination);
    EXPECT_EQ(out, expectedFromPalette(longSource));
    EXPECT_EQ(out.at(58), 77);  // index 0: pure red
    EXPECT_EQ(out.at(59), 28);  // index 1: pure blue
}

TEST_F(PaletteRun, ACompactGrayBitmapFedBackReadsItsPixelsAsPalette) {
    // Rows of zeros and a value that is never an index: every pixel stays 0.
    const std::vector<std::uint8_t> zeros(600 * 2, 0);
    const Bytes small = bitmap8(600, 2, {{0, 0, 0}}, zeros);  // 58 + 1200 bytes
    ASSERT_GE(small.size(), 1078u);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("gray.bmp", small), destination}));
    EXPECT_EQ(readFile(destination), small);

    const Bytes tiny = bitmap8(30, 2, {{0, 0, 0}}, std::vector<std::uint8_t>(60, 9));  // 58 + 64 bytes
    expectFailure(runTool({put("tiny.bmp", tiny), path("tiny-out.bmp")}), text::badFormat);
    EXPECT_FALSE(fs::exists(path("tiny-out.bmp")));
}

TEST_F(PaletteRun, ACompactGrayBitmapAboveTheBoundaryTakesPixelBytesAsEntries) {
    std::vector<std::uint8_t> indices(300 * 4);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<std::uint8_t>(i * 7);
    }
    const Bytes gray = bitmap8(300, 4, {{0, 0, 0}}, indices);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("gray.bmp", gray), destination}));
    EXPECT_EQ(readFile(destination), expectedFromPalette(gray));
}

TEST_F(PaletteRun, AnOffsetInsideThePaletteReadsRowsFromThere) {
    Bytes source = bitmap8(4, 2, grayRamp(), {1, 2, 3, 4, 5, 6, 7, 8});
    putU32(source, at::bfOffBits, 100);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", source), destination}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 66u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(out[58 + i], source[100 + i]) << i;  // gray ramp: values unchanged
    }
}

// Sizes that are empty, negative or too large take the same paths as for 24 bits,
// but only after the palette has been read.
struct SizeCase {
    const char* name;
    int width;
    int height;
    std::size_t fileSize;
    std::string message;  // empty: success with a 58-byte destination
};

TEST_F(PaletteRun, EmptyNegativeAndOverflowingSizes) {
    const SizeCase cases[] = {
        {"height 0", 4, 0, 1078, ""},
        {"width 0", 0, 9, 1078, ""},
        {"negative height", 4, -3, 1100, text::noMemory},
        {"negative height before byte 1078", 4, -3, 1000, text::badFormat},
        {"stride overflow", INT32_MAX, 1, 1100, text::badFormat},
        {"size overflow", 70000, 70000, 1100, text::badFormat},
        {"INT32_MIN height", 4, INT32_MIN, 1100, text::badFormat},
    };
    for (const SizeCase& c : cases) {
        Bytes source = headerOnly(c.width, c.height, 8, 1078);
        source.resize(c.fileSize, 0x33);
        const std::string destination = path("out.bmp");
        fs::remove(destination);
        const RunResult result = runTool({put("in.bmp", source), destination});
        if (c.message.empty()) {
            expectSuccess(result);
            EXPECT_EQ(readFile(destination).size(), 58u) << c.name;
        } else {
            expectFailure(result, c.message);
            EXPECT_FALSE(fs::exists(destination)) << c.name;
        }
    }
}

TEST_F(PaletteRun, NegativeWidthAndHeightAreCopiedUnconverted) {
    Bytes source = headerOnly(-5, -1, 8, 1078);
    source.resize(1078, 0xFF);  // every entry white
    source.insert(source.end(), {9, 8, 7, 6});
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", source), destination}));
    EXPECT_EQ(pixelsOf(readFile(destination), 58), (Bytes{9, 8, 7, 6}));
}

}  // namespace
