// Faults outside the source: a full device, a file-size limit, a heap that
// refuses, a destination that cannot be created, and the source written over
// by its own result. Each run must end with the right line and status -1, and
// leave on disk exactly what the README promises.

#include "support/tool_test.h"

#include <filesystem>

namespace {

using namespace fixture;
namespace fs = std::filesystem;

class Fault : public ToolTest {};

enum class Path { colour, palette, expand };

const char* nameOf(Path path) {
    return path == Path::colour ? "24-bit" : path == Path::palette ? "8-bit" : "/r";
}

std::vector<std::uint8_t> indices(std::size_t count) {
    std::vector<std::uint8_t> values;
    for (const Bgr& pixel : randomPixels(count, 31)) {
        values.push_back(pixel.green);
    }
    return values;
}

// A well-formed source for `path` (a compact gray bitmap for /r).
Bytes sourceFor(Path path, int width, int height) {
    const auto count = static_cast<std::size_t>(width) * height;
    if (path == Path::colour) {
        return bitmap24(width, height, randomPixels(count, 30));
    }
    if (path == Path::palette) {
        std::vector<Quad> palette;
        for (const Bgr& colour : randomPixels(256, 32)) {
            palette.push_back({colour.blue, colour.green, colour.red});
        }
        return bitmap8(width, height, palette, indices(count));
    }
    return bitmap8(width, height, {{0, 0, 0}}, indices(count));
}

std::vector<std::string> commandFor(Path path, const std::string& source, const std::string& destination) {
    if (path == Path::expand) {
        return {source, destination, "/r"};
    }
    return {source, destination};
}

TEST_F(Fault, AFullDeviceIsAFailedWriteForSmallAndLargeResults) {
    const std::optional<std::string> full = fullDevice();
    if (!full) {
        GTEST_SKIP() << "no full device here";
    }
    // 24-bit sources: colour_run_test. Small results fail only when flushed.
    const std::pair<int, int> sizes[] = {{3, 2}, {1500, 1000}};
    for (const Path path : {Path::palette, Path::expand}) {
        for (const auto& [width, height] : sizes) {
            SCOPED_TRACE(std::string(nameOf(path)) + " " + std::to_string(width) + " x " + std::to_string(height));
            const Bytes bytes = sourceFor(path, width, height);
            const std::string source = put("in.bmp", bytes);
            expectFailure(runTool(commandFor(path, source, *full)), text::cannotWrite);
            EXPECT_EQ(readFile(source), bytes);
        }
    }
}

struct LimitRow {
    const char* name;
    Path path;
    std::uint64_t limit;  // RLIMIT_FSIZE in bytes
    bool inPlace;         // the source is also the destination
};

TEST_F(Fault, AFileSizeLimitLeavesAPrefixOfTheResult) {
    if (!canLimitFileSize()) {
        GTEST_SKIP() << "resource limits are not available here";
    }
    // Standard output is a file here too, so no limit is below the 28 bytes
    // of the message line.
    const LimitRow rows[] = {
        {"in the information header", Path::palette, 30, false},
        {"one byte short of the header", Path::palette, 57, false},
        {"in the pixels", Path::palette, 20000, false},
        {"in the information header, /r", Path::expand, 40, false},
        {"in palette entry 0, /r", Path::expand, 56, false},
        {"in the palette, /r", Path::expand, 700, false},
        {"at the first pixel, /r", Path::expand, 1078, false},
        {"in the pixels, /r", Path::expand, 30000, false},
        {"in place, in the header", Path::colour, 30, true},
        {"in place, in the pixels", Path::colour, 20000, true},
        {"in place, in the palette, /r", Path::expand, 500, true},
        {"in place, in the pixels", Path::palette, 50000, true},
    };
    for (const LimitRow& row : rows) {
        SCOPED_TRACE(std::string(row.name) + ", " + nameOf(row.path));
        const Bytes bytes = sourceFor(row.path, 301, 200);
        const std::string source = put("in.bmp", bytes);
        const std::string whole = path("whole.bmp");
        expectSuccess(runTool(commandFor(row.path, source, whole)));
        const Bytes result = readFile(whole);
        ASSERT_GT(result.size(), row.limit);

        const std::string destination = row.inPlace ? source : path("out.bmp");
        expectFailure(runTool(commandFor(row.path, source, destination), fileSizeLimit(row.limit)),
                      text::cannotWrite);
        // What is left is the start of the result; in place, the source is gone.
        const Bytes partial = readFile(destination);
#ifdef __linux__
        EXPECT_EQ(partial.size(), row.limit);  // Linux writes up to the limit before refusing
#else
        EXPECT_LE(partial.size(), row.limit);
#endif
        EXPECT_EQ(partial, Bytes(result.begin(), result.begin() + static_cast<std::ptrdiff_t>(partial.size())));
        if (!row.inPlace) {
            EXPECT_EQ(readFile(source), bytes);
        }
    }
}

TEST_F(Fault, AHeapThatRefusesIsAnAllocationFailureOnEveryPath) {
    if (!canLimitAddressSpace()) {
        GTEST_SKIP() << "address-space limits are not available here";
    }
    // 20000 x 20000 pixels claim 400 MB at 8 bits and 1.2 GB at 24; the limit
    // leaves room for the program alone.
    struct Case {
        Path path;
        bool inPlace;
    };
    for (const Case c : {Case{Path::palette, false}, Case{Path::expand, false}, Case{Path::colour, true}}) {
        SCOPED_TRACE(std::string(nameOf(c.path)) + (c.inPlace ? ", in place" : ""));
        Bytes bytes = headerOnly(20000, 20000, c.path == Path::colour ? 24 : 8, 1078);
        bytes.resize(1078, 0x5A);  // the 8-bit default run reads 256 palette entries first
        const std::string source = put("in.bmp", bytes);
        const std::string destination = c.inPlace ? source : path("out.bmp");
        expectFailure(runTool(commandFor(c.path, source, destination), addressSpaceLimit(256u << 20)),
                      text::noMemory);
        EXPECT_EQ(readFile(source), bytes);
        if (!c.inPlace) {
            EXPECT_FALSE(fs::exists(destination));
        }
    }
}

TEST_F(Fault, ADestinationThatCannotBeCreatedOnEveryPath) {
    fs::create_directory(path("folder"));
    for (const Path path : {Path::colour, Path::palette, Path::expand}) {
        const Bytes bytes = sourceFor(path, 3, 2);
        const std::string source = put("in.bmp", bytes);
        for (const std::string& destination : {this->path("no-such-folder/out.bmp"), this->path("folder")}) {
            SCOPED_TRACE(std::string(nameOf(path)) + " to " + destination);
            expectFailure(runTool(commandFor(path, source, destination)), text::cannotCreate);
            EXPECT_EQ(readFile(source), bytes);
        }
    }
    EXPECT_FALSE(fs::exists(path("no-such-folder")));
    EXPECT_TRUE(fs::is_empty(path("folder")));
}

TEST_F(Fault, ARefusedSourceThatIsAlsoTheDestinationIsLeftAsItWas) {
    Bytes cutRows = sourceFor(Path::colour, 5, 3);
    cutRows.pop_back();
    Bytes topDown = sourceFor(Path::expand, 5, 3);
    putU32(topDown, at::biHeight, static_cast<std::uint32_t>(-3));
    Bytes shortPalette = sourceFor(Path::palette, 5, 3);
    shortPalette.resize(1000);
    struct Case {
        Path path;
        Bytes bytes;
        std::string message;
    };
    const Case cases[] = {
        {Path::colour, cutRows, text::badFormat},
        {Path::palette, shortPalette, text::badFormat},
        {Path::expand, topDown, text::noMemory},
        {Path::expand, sourceFor(Path::colour, 5, 3), text::badFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(nameOf(c.path));
        const std::string file = put("same.bmp", c.bytes);
        expectFailure(runTool(commandFor(c.path, file, file)), c.message);
        EXPECT_EQ(readFile(file), c.bytes);
    }
}

}  // namespace
