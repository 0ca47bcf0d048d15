// The /r switch: an 8-bit bitmap rewritten behind the full 256-level gray palette.

#include "support/tool_test.h"

#include <filesystem>

namespace {

using namespace fixture;
namespace fs = std::filesystem;

class ExpandRun : public ToolTest {};

// Checks the full-palette form around `entry0` and returns its pixel bytes.
Bytes checkFullPalette(const Bytes& out, std::uint32_t entry0) {
    EXPECT_GE(out.size(), 1078u);
    if (out.size() < 1078) {
        return {};
    }
    EXPECT_EQ(getU32(out, at::bfOffBits), 1078u);
    EXPECT_EQ(getU32(out, at::bfSize), out.size());
    EXPECT_EQ(getU32(out, at::biSizeImage), out.size() - 1078);
    EXPECT_EQ(getU32(out, at::biClrUsed), 256u);
    EXPECT_EQ(getU16(out, at::biBitCount), 8);
    EXPECT_EQ(getU32(out, at::bmiColors), entry0);
    for (std::uint32_t i = 1; i < 256; ++i) {
        EXPECT_EQ(getU32(out, 54 + 4 * i), i | i << 8 | i << 16) << "entry " << i;
    }
    return Bytes(out.begin() + 1078, out.end());
}

TEST_F(ExpandRun, ACompactGrayBitmapGetsTheRamp) {
    const Bytes compact = bitmap8(3, 2, {{0, 0, 0}}, {10, 20, 30, 40, 50, 60}, 0x42);
    ASSERT_EQ(compact.size(), 66u);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("gray.bmp", compact), destination, "/r"}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 1086u);
    EXPECT_EQ(checkFullPalette(out, 0), (Bytes{10, 20, 30, 0x42, 40, 50, 60, 0x42}));
    // Fields the form does not set are kept.
    EXPECT_EQ(Bytes(out.begin() + 14, out.begin() + 34), Bytes(compact.begin() + 14, compact.begin() + 34));
    EXPECT_EQ(Bytes(out.begin() + 38, out.begin() + 46), Bytes(compact.begin() + 38, compact.begin() + 46));
    EXPECT_EQ(getU32(out, at::biClrImportant), 0xC0FFEEu);
}

TEST_F(ExpandRun, AColourBitmapKeepsItsIndicesAndFirstColour) {
    std::vector<Quad> palette;
    for (const Bgr& colour : randomPixels(256, 3)) {
        palette.push_back({colour.blue, colour.green, colour.red, 0x11});
    }
    const std::vector<std::uint8_t> indices = {0, 1, 2, 250, 251, 255, 128, 64, 32, 16};
    const Bytes source = bitmap8(5, 2, palette, indices);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", source), destination, "/r"}));
    const Bytes pixels = checkFullPalette(readFile(destination), getU32(source, 54));
    EXPECT_EQ(pixels, Bytes(source.begin() + 1078, source.end()));
}

TEST_F(ExpandRun, ASixteenEntryPaletteIsSkippedByItsOffset) {
    std::vector<Quad> palette;
    for (std::uint8_t i = 0; i < 16; ++i) {
        palette.push_back({static_cast<std::uint8_t>(i + 100), 7, 3, 0});
    }
    const Bytes source = bitmap8(3, 2, palette, {1, 2, 3, 13, 14, 15});
    ASSERT_EQ(source.size(), 126u);
    ASSERT_EQ(getU32(source, at::bfOffBits), 118u);
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", source), destination, "/r"}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 1086u);
    EXPECT_EQ(checkFullPalette(out, getU32(source, 54)), Bytes(source.begin() + 118, source.end()));
}

TEST_F(ExpandRun, ExpandingAnExpansionGivesTheSameFile) {
    const Bytes compact = bitmap8(9, 4, {{0, 0, 0}}, std::vector<std::uint8_t>(36, 77));
    const std::string once = path("once.bmp");
    const std::string twice = path("twice.bmp");
    expectSuccess(runTool({put("gray.bmp", compact), once, "/r"}));
    expectSuccess(runTool({once, twice, "/r"}));
    EXPECT_EQ(readFile(twice), readFile(once));
}

TEST_F(ExpandRun, TheDefaultRunThenExpansionShowsTheLuminance) {
    const Bytes colour = bitmap24(13, 7, randomPixels(91, 12));
    const std::string gray = path("gray.bmp");
    const std::string full = path("full.bmp");
    expectSuccess(runTool({put("colour.bmp", colour), gray}));
    expectSuccess(runTool({gray, full, "/r"}));
    const Bytes expectedGray = expectedFromColour(colour);
    EXPECT_EQ(checkFullPalette(readFile(full), 0), Bytes(expectedGray.begin() + 58, expectedGray.end()));
}

TEST_F(ExpandRun, OnlyAnExactThirdArgumentSelectsIt) {
    const Bytes gray = bitmap8(300, 4, {{0, 0, 0}}, std::vector<std::uint8_t>(1200, 0));
    const std::string source = put("gray.bmp", gray);
    const std::string destination = path("out.bmp");
    // /R runs the default conversion, which leaves a compact form.
    expectSuccess(runTool({source, destination, "/R"}));
    EXPECT_EQ(readFile(destination).size(), gray.size());
    expectFailure(runTool({source, destination, "/r", "/r"}), text::usage);
    expectSuccess(runTool({source, destination, "/r"}));
    EXPECT_EQ(readFile(destination).size(), 1078u + 1200u);
}

struct Refused {
    const char* name;
    Bytes bytes;
    std::string message;
};

TEST_F(ExpandRun, RefusedSourcesCreateNothing) {
    const Bytes gray = bitmap8(3, 2, {{0, 0, 0}}, {1, 2, 3, 4, 5, 6});
    Bytes cutRows = gray;
    cutRows.pop_back();
    Bytes topDown = gray;
    putU32(topDown, at::biHeight, static_cast<std::uint32_t>(-2));
    Bytes beyond = gray;
    putU32(beyond, at::bfOffBits, 0x80000000u);
    const Refused cases[] = {
        {"24-bit source", bitmap24(2, 2, randomPixels(4, 1)), text::badFormat},
        {"bit count 1", withU16(gray, at::biBitCount, 1), text::badFormat},
        {"bit count 4", withU16(gray, at::biBitCount, 4), text::badFormat},
        {"bit count 16", withU16(gray, at::biBitCount, 16), text::badFormat},
        {"bit count 32", withU16(gray, at::biBitCount, 32), text::badFormat},
        {"rows cut short", cutRows, text::badFormat},
        {"offset 2^31", beyond, text::badFormat},
        {"top-down rows", topDown, text::noMemory},
        {"bad signature", Bytes(58, 'x'), text::badFormat},
    };
    for (const Refused& c : cases) {
        const std::string destination = path("never.bmp");
        expectFailure(runTool({put("in.bmp", c.bytes), destination, "/r"}), c.message);
        EXPECT_FALSE(fs::exists(destination)) << c.name;
    }
}

TEST_F(ExpandRun, AnEmptyImageGivesThePaletteAlone) {
    const std::string destination = path("out.bmp");
    expectSuccess(runTool({put("in.bmp", headerOnly(0, 5, 8)), destination, "/r"}));
    const Bytes out = readFile(destination);
    ASSERT_EQ(out.size(), 1078u);
    checkFullPalette(out, 0x40302010);
}

TEST_F(ExpandRun, AFileSizeLimitInsideThePaletteLeavesAPrefix) {
    if (!canLimitFileSize()) {
        GTEST_SKIP() << "file-size limits are not available here";
    }
    const Bytes gray = bitmap8(3, 2, {{0, 0, 0}}, {1, 2, 3, 4, 5, 6});
    const std::string source = put("gray.bmp", gray);
    const std::string full = path("full.bmp");
    expectSuccess(runTool({source, full, "/r"}));
    const Bytes expected = readFile(full);
    const std::string destination = path("out.bmp");
    expectFailure(runTool({source, destination, "/r"}, fileSizeLimit(500)), text::cannotWrite);
    const Bytes partial = readFile(destination);
    EXPECT_LE(partial.size(), 500u);
    EXPECT_EQ(partial, Bytes(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(partial.size())));
}

}  // namespace
