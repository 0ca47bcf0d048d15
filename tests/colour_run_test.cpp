// The whole tool on 24-bit sources, its command line, and every message line.

#include "support/tool_test.h"

#include <climits>
#include <filesystem>

namespace {

using namespace fixture;
namespace fs = std::filesystem;

class ColourRun : public ToolTest {};

const Bgr white{255, 255, 255};

TEST_F(ColourRun, WrongArgumentCountsDrawTheUsageLineAndTouchNothing) {
    const std::string source = put("in.bmp", bitmap24(1, 1, {white}));
    const std::string destination = path("out.bmp");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {source},
        {source, destination, "/r", "/r"},
        {source, destination, "x", "y", "z"},
    };
    for (const auto& arguments : cases) {
        const RunResult result = runTool(arguments);
        expectFailure(result, text::usage);
        EXPECT_FALSE(fs::exists(destination)) << arguments.size() << " arguments";
    }
}

TEST_F(ColourRun, OneWhitePixelKeepsTheRestOfItsRowAsPadding) {
    const std::string source = put("in.bmp", bitmap24(1, 1, {white}, 0x7A));
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({source, destination}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 62u);
    EXPECT_EQ(getU32(out, at::bfSize), 62u);
    EXPECT_EQ(getU32(out, at::bfOffBits), 58u);
    EXPECT_EQ(getU16(out, at::biBitCount), 8);
    EXPECT_EQ(getU32(out, at::biSizeImage), 4u);
    EXPECT_EQ(getU32(out, at::biClrUsed), 1u);
    EXPECT_EQ(getU32(out, at::bmiColors), 0u);
    // The gray level, then green and red of the pixel and the source's padding byte.
    EXPECT_EQ(Bytes(out.begin() + 58, out.end()), (Bytes{255, 255, 255, 0x7A}));
}

TEST_F(ColourRun, TwoByTwoPacksGrayRowsOverTheColourRows) {
    const Bgr a{10, 20, 30};
    const Bgr b{40, 50, 60};
    const Bgr c{70, 80, 90};
    const Bgr d{44, 4, 1};
    const std::string source = put("in.bmp", bitmap24(2, 2, {a, b, c, d}, 0xAB));
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({source, destination}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 66u);
    const Bytes expected = {
        pixelGray(10, 20, 30), pixelGray(40, 50, 60),  // first row in the file
        30, 40,                                         // red of a, blue of b, as read
        pixelGray(70, 80, 90), 8,                       // second row; (red 1, green 4, blue 44) gives 8
        0xAB, 0xAB,                                     // the first source row's padding
    };
    EXPECT_EQ(Bytes(out.begin() + 58, out.end()), expected);
}

TEST_F(ColourRun, MatchesTheModelOnAssortedSizes) {
    const std::pair<int, int> sizes[] = {{1, 3}, {2, 1}, {3, 2}, {4, 4}, {5, 3}, {7, 5}, {31, 9}, {64, 3}, {97, 13}};
    for (const auto& [width, height] : sizes) {
        const Bytes colour = bitmap24(width, height, randomPixels(static_cast<std::size_t>(width) * height,
                                                                   static_cast<std::uint32_t>(width * 100 + height)));
        const std::string source = put("in.bmp", colour);
        const std::string destination = path("out.bmp");
        expectSuccess(runTool({source, destination}));
        EXPECT_EQ(readFile(destination), expectedFromColour(colour)) << width << " x " << height;
    }
}

TEST_F(ColourRun, WidthFourHasNoPaddingAndFieldsNotSetAreKept) {
    Bytes colour = bitmap24(4, 2, randomPixels(8, 4));
    putU32(colour, at::biSize, 124);
    putU32(colour, at::biCompression, 3);
    // Bytes 54 to 57 of a 24-bit source are not pixels here: the rows start at 58.
    colour.insert(colour.begin() + 54, {0xEF, 0xBE, 0xAD, 0xDE});
    putU32(colour, at::bfOffBits, 58);
    const std::string source = put("in.bmp", colour);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({source, destination}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 58u + 8u);
    EXPECT_EQ(getU32(out, at::biSize), 124u);
    EXPECT_EQ(getU32(out, at::biCompression), 3u);
    EXPECT_EQ(getU32(out, at::bmiColors), 0u);
    EXPECT_EQ(out, expectedFromColour(colour));
}

TEST_F(ColourRun, EmptyImagesGiveTheHeaderAlone) {
    struct Case {
        int width;
        int height;
        std::uint32_t offBits;
    };
    const Case cases[] = {{0, 5, 58}, {5, 0, 58}, {0, INT32_MIN, 58}, {0, 0, 0x7FFFFFFF}, {-1, 9, 58}};
    for (const Case& c : cases) {
        const Bytes header = headerOnly(c.width, c.height, 24, c.offBits);
        const std::string source = put("in.bmp", header);
        const std::string destination = path("out.bmp");
        expectSuccess(runTool({source, destination}));
        const Bytes out = readFile(destination);
        ASSERT_EQ(out.size(), 58u);
        EXPECT_EQ(getU32(out, at::biSizeImage), 0u);
        EXPECT_EQ(getU32(out, at::bfSize), 58u);
        EXPECT_EQ(getU32(out, at::biWidth), static_cast<std::uint32_t>(c.width));
        EXPECT_EQ(getU32(out, at::biHeight), static_cast<std::uint32_t>(c.height));
    }
}

TEST_F(ColourRun, NegativeWidthAndHeightReadThePositiveSizeUnconverted) {
    Bytes colour = headerOnly(-5, -1, 24);
    const Bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    colour.insert(colour.end(), rows.begin(), rows.end());
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", colour), destination}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 62u);  // stride -4 at 8 bits times height -1
    EXPECT_EQ(Bytes(out.begin() + 58, out.end()), (Bytes{1, 2, 3, 4}));
}

TEST_F(ColourRun, AnOffsetInsideTheHeaderReadsHeaderBytesAsRows) {
    Bytes colour = bitmap24(1, 1, {white});
    putU32(colour, at::bfOffBits, 0);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", colour), destination}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 62u);
    EXPECT_EQ(out[58], pixelGray('B', 'M', colour[2]));
    EXPECT_EQ(Bytes(out.begin() + 59, out.end()), Bytes(colour.begin() + 1, colour.begin() + 4));
}

TEST_F(ColourRun, ASwitchOtherThanExactlySlashRIsIgnored) {
    const Bytes colour = bitmap24(3, 2, randomPixels(6, 1));
    const std::string source = put("in.bmp", colour);
    for (const char* flag : {"/R", "-r", "r", "/r ", "//r", ""}) {
        const std::string destination = path("out.bmp");
        expectSuccess(runTool({source, destination, flag}));
        EXPECT_EQ(readFile(destination), expectedFromColour(colour)) << "switch '" << flag << "'";
    }
}

TEST_F(ColourRun, SourceAndDestinationMayBeTheSameFile) {
    const Bytes colour = bitmap24(5, 3, randomPixels(15, 2));
    const std::string file = put("same.bmp", colour);
    expectSuccess(runTool({file, file}));
    EXPECT_EQ(readFile(file), expectedFromColour(colour));
}

// Bytes a text-mode stream would change: CR, LF (0x0A is the width, too) and
// Ctrl-Z (0x1A, the height), which ends a text-mode read on Windows.
TEST_F(ColourRun, LineBreakAndEndOfFileBytesPassThroughUnchanged) {
    const std::uint8_t pattern[] = {0x0D, 0x0A, 0x1A, 0x0D, 0x0D, 0x0A, 0x0A};
    std::vector<Bgr> colours;
    std::vector<std::uint8_t> indices;
    for (std::size_t i = 0; i < 10 * 26; ++i) {
        colours.push_back({pattern[i % 7], pattern[(i + 1) % 7], pattern[(i + 2) % 7]});
        indices.push_back(pattern[i % 7]);
    }
    std::vector<Quad> ramp;
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        ramp.push_back({level, level, level, 0x0A});
    }
    struct Case {
        const char* name;
        Bytes source;
        Bytes expected;
    };
    const Bytes colour = bitmap24(10, 26, colours, 0x0A);
    const Bytes palette = bitmap8(10, 26, ramp, indices, 0x1A);
    const Case cases[] = {
        {"24-bit", colour, expectedFromColour(colour)},
        {"8-bit", palette, expectedFromPalette(palette)},
    };
    for (const Case& c : cases) {
        const std::string destination = path("out.bmp");
        expectSuccess(runTool({put("in.bmp", c.source), destination}));
        EXPECT_EQ(readFile(destination), c.expected) << c.name;
    }
}

// Every input the tool refuses as a bad format, before any destination exists.
struct BadSource {
    const char* name;
    Bytes bytes;
    std::string message;
};

TEST_F(ColourRun, RefusedSourcesPrintTheirMessageAndCreateNothing) {
    const Bytes good = bitmap24(3, 2, randomPixels(6, 3));
    const BadSource cases[] = {
        {"empty file", Bytes{}, text::badFormat},
        {"13 bytes", truncated(good, 13), text::badFormat},
        {"file header only", truncated(good, 14), text::badFormat},
        {"57 bytes", truncated(good, 57), text::badFormat},
        {"24-bit file of height 0 is 54 bytes", truncated(withU32(good, at::biHeight, 0), 54), text::badFormat},
        {"signature MB", withU16(good, at::bfType, 0x424D), text::badFormat},
        {"planes 0", withU16(good, at::biPlanes, 0), text::badFormat},
        {"planes 2", withU16(good, at::biPlanes, 2), text::badFormat},
        {"bit count 0", withU16(good, at::biBitCount, 0), text::badFormat},
        {"bit count 1", withU16(good, at::biBitCount, 1), text::badFormat},
        {"bit count 4", withU16(good, at::biBitCount, 4), text::badFormat},
        {"bit count 16", withU16(good, at::biBitCount, 16), text::badFormat},
        {"bit count 32", withU16(good, at::biBitCount, 32), text::badFormat},
        {"rows cut short by one byte", truncated(good, good.size() - 1), text::badFormat},
        {"offset past the end", withU32(good, at::bfOffBits, 1000), text::badFormat},
        {"offset 2^31 with no pixels", withU32(headerOnly(0, 0, 24), at::bfOffBits, 0x80000000u),
         text::badFormat},
        {"offset 2^32-1", withU32(good, at::bfOffBits, 0xFFFFFFFFu), text::badFormat},
        {"width whose bit count overflows", withU32(good, at::biWidth, INT32_MAX), text::badFormat},
        {"width INT32_MIN", withU32(good, at::biWidth, 0x80000000u), text::badFormat},
        {"stride times height overflows", withU32(withU32(good, at::biWidth, 100000), at::biHeight, 100000),
         text::badFormat},
        {"negative stride times negative height overflows",
         withU32(withU32(good, at::biWidth, static_cast<std::uint32_t>(-100000)), at::biHeight,
                   static_cast<std::uint32_t>(-100000)),
         text::badFormat},
        {"top-down rows give a negative size", withU32(good, at::biHeight, static_cast<std::uint32_t>(-2)),
         text::noMemory},
        {"height INT32_MIN", withU32(good, at::biHeight, 0x80000000u), text::badFormat},
    };
    for (const BadSource& c : cases) {
        const std::string source = put("in.bmp", c.bytes);
        const std::string destination = path("never.bmp");
        expectFailure(runTool({source, destination}), c.message);
        EXPECT_FALSE(fs::exists(destination)) << c.name;
        EXPECT_EQ(readFile(source), c.bytes) << c.name;
    }
}

// Megabytes of rows are read and converted in pieces, and each piece may be
// read in well before its place in file order: the result must not show where
// a piece ended or where it was read to, the gray rows' padding included, and
// a source cut short after some pieces were converted must still fail before
// any destination exists.
TEST_F(ColourRun, LargeSourcesConvertAcrossReadPieces) {
    struct Shape {
        int width;
        int height;
        std::uint32_t gap;  // bytes between the header block and the rows
    };
    const Shape shapes[] = {
        {1001, 700, 0},   // gray padding of 3 bytes per row
        {1000, 700, 0},   // no gray padding
        {1001, 700, 3},   // rows starting at an odd offset in the file
        {2, 300000, 0},   // gray rows half as long as the colour rows
        {3, 200000, 1},
        {1, 600000, 0},   // gray rows as long as the colour rows
        {200001, 6, 0},   // rows longer than a piece
    };
    for (const Shape& shape : shapes) {
        const auto seed = static_cast<std::uint32_t>(shape.width + shape.gap);
        Bytes colour = bitmap24(shape.width, shape.height,
                                randomPixels(static_cast<std::size_t>(shape.width) * shape.height, seed), 0x3C);
        colour.insert(colour.begin() + 54, shape.gap, 0x99);
        colour = withU32(colour, at::bfOffBits, 54 + shape.gap);
        const std::string destination = path("out.bmp");
        expectSuccess(runTool({put("in.bmp", colour), destination}));
        EXPECT_EQ(readFile(destination), expectedFromColour(colour))
            << shape.width << " x " << shape.height << ", gap " << shape.gap;
    }

    const Bytes colour = bitmap24(1001, 700, randomPixels(1001 * 700, 77), 0x3C);
    const std::string never = path("never.bmp");
    expectFailure(runTool({put("short.bmp", truncated(colour, colour.size() - 5000)), never}), text::badFormat);
    EXPECT_FALSE(fs::exists(never));
}

TEST_F(ColourRun, AMissingSourceLeavesTheDestinationAlone) {
    const std::string destination = put("out.bmp", Bytes{1, 2, 3});
    expectFailure(runTool({path("missing.bmp"), destination}), text::cannotOpen);
    EXPECT_EQ(readFile(destination), (Bytes{1, 2, 3}));
}

TEST_F(ColourRun, AFolderAsSourceCannotBeOpened) {
    fs::create_directory(path("folder"));
    const std::string destination = path("out.bmp");
    expectFailure(runTool({path("folder"), destination}), text::cannotOpen);
    EXPECT_FALSE(fs::exists(destination));
}

TEST_F(ColourRun, ADestinationThatCannotBeCreated) {
    const std::string source = put("in.bmp", bitmap24(3, 2, randomPixels(6, 5)));
    fs::create_directory(path("folder"));
    for (const std::string& destination : {path("no-such-folder/out.bmp"), path("folder")}) {
        expectFailure(runTool({source, destination}), text::cannotCreate);
    }
    EXPECT_TRUE(fs::is_directory(path("folder")));
}

TEST_F(ColourRun, AFullDeviceIsAFailedWriteForSmallAndLargeResults) {
    const std::optional<std::string> full = fullDevice();
    if (!full) {
        GTEST_SKIP() << "no full device here";
    }
    const std::pair<int, int> sizes[] = {{3, 2}, {1500, 1000}};
    for (const auto& [width, height] : sizes) {
        const std::string source =
            put("in.bmp", bitmap24(width, height, randomPixels(static_cast<std::size_t>(width) * height, 6)));
        expectFailure(runTool({source, *full}), text::cannotWrite);
    }
}

TEST_F(ColourRun, AFileSizeLimitLeavesAPrefixOfTheResult) {
    if (!canLimitFileSize()) {
        GTEST_SKIP() << "file-size limits are not available here";
    }
    const Bytes colour = bitmap24(301, 200, randomPixels(301 * 200, 7));
    const std::string source = put("in.bmp", colour);
    const Bytes full = expectedFromColour(colour);
    for (const std::uint64_t limit : {std::uint64_t{30}, std::uint64_t{58}, std::uint64_t{20000}}) {
        const std::string destination = path("out.bmp");
        expectFailure(runTool({source, destination}, fileSizeLimit(limit)), text::cannotWrite);
        const Bytes partial = readFile(destination);
        EXPECT_LE(partial.size(), limit);
        EXPECT_EQ(partial, Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(partial.size())))
            << "limit " << limit;
    }
}

TEST_F(ColourRun, AHeapThatRefusesIsAnAllocationFailure) {
    if (!canLimitAddressSpace()) {
        GTEST_SKIP() << "address-space limits are not available here";
    }
    // 16000 x 16000 pixels claim 768 MB; the limit leaves room for the program alone.
    const std::string source = put("in.bmp", headerOnly(16000, 16000, 24));
    const std::string destination = path("out.bmp");
    expectFailure(runTool({source, destination}, addressSpaceLimit(256u << 20)), text::noMemory);
    EXPECT_FALSE(fs::exists(destination));
}

TEST_F(ColourRun, ALyingHeaderCostsNoMemoryBeforeItsReadFails) {
    if (!canLimitProcesses()) {
        GTEST_SKIP() << "process memory is not reported here";
    }
    // 26000 x 27000 pixels claim about 2 GB, behind a 58-byte file.
    const std::string source = put("in.bmp", headerOnly(26000, 27000, 24));
    const RunResult result = runTool({source, path("out.bmp")});
    expectFailure(result, text::badFormat);
    EXPECT_LT(result.peakResidentKiB, 32 * 1024);
}

}  // namespace
