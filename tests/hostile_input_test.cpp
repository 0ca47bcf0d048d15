// Hostile sources on all three paths: one row per input, with the line it must
// draw. A refused source leaves an existing destination as it was; an accepted
// one replaces it with a result of exactly the length its header implies.

#include "support/tool_test.h"

#include <climits>
#include <filesystem>
#include <optional>

namespace {

using namespace fixture;
namespace fs = std::filesystem;

class HostileInput : public ToolTest {};

enum class Path { colour, palette, expand };

struct Row {
    const char* name;
    Path path;                   // colour and palette: the default run; expand: /r
    std::optional<Bytes> bytes;  // none: a folder in place of the source
    std::string message;         // empty: success
    std::size_t length = 0;      // the destination's length on success
};

// 3 x 2 pixels on each path: rows of 12 bytes at 24 bits, of 4 at 8 bits.
const Bytes colour = bitmap24(3, 2, randomPixels(6, 21));                          // 54 + 24 bytes
const Bytes palette = bitmap8(3, 2, grayRamp(), {1, 2, 3, 4, 5, 6});               // 1078 + 8 bytes
const Bytes compact = bitmap8(3, 2, {{0, 0, 0}}, {10, 20, 30, 40, 50, 60}, 0x42);  // 58 + 8 bytes

const Bytes& baseOf(Path path) {
    return path == Path::colour ? colour : path == Path::palette ? palette : compact;
}

Bytes cut(Path path, std::size_t size) { return truncated(baseOf(path), size); }

Bytes with16(Path path, std::size_t offset, std::uint16_t value) { return withU16(baseOf(path), offset, value); }

Bytes with32(Path path, std::size_t offset, std::int64_t value) {
    return withU32(baseOf(path), offset, static_cast<std::uint32_t>(value));
}

Bytes sized(Path path, std::int32_t width, std::int32_t height) {
    Bytes bytes = with32(path, at::biWidth, width);
    putU32(bytes, at::biHeight, static_cast<std::uint32_t>(height));
    return bytes;
}

constexpr Path C = Path::colour;
constexpr Path P = Path::palette;
constexpr Path R = Path::expand;
const std::string ok;

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        // Header checks
        {"empty file", C, Bytes{}, text::badFormat},
        {"empty file, /r", R, Bytes{}, text::badFormat},
        {"signature MB", C, with16(C, at::bfType, 0x424D), text::badFormat},
        {"signature MB, 8-bit", P, with16(P, at::bfType, 0x424D), text::badFormat},
        {"signature MB, /r", R, with16(R, at::bfType, 0x424D), text::badFormat},
        {"signature zero", C, with16(C, at::bfType, 0), text::badFormat},
        {"planes 0", C, with16(C, at::biPlanes, 0), text::badFormat},
        {"planes 2, 8-bit", P, with16(P, at::biPlanes, 2), text::badFormat},
        {"planes 65535, /r", R, with16(R, at::biPlanes, 0xFFFF), text::badFormat},
        {"planes 257 (1 in its low byte)", C, with16(C, at::biPlanes, 0x0101), text::badFormat},
        {"bit count 0", C, with16(C, at::biBitCount, 0), text::badFormat},
        {"bit count 1", C, with16(C, at::biBitCount, 1), text::badFormat},
        {"bit count 4", C, with16(C, at::biBitCount, 4), text::badFormat},
        {"bit count 16", C, with16(C, at::biBitCount, 16), text::badFormat},
        {"bit count 32", C, with16(C, at::biBitCount, 32), text::badFormat},
        {"bit count 280 (24 in its low byte)", C, with16(C, at::biBitCount, 0x0118), text::badFormat},
        {"bit count 0, /r", R, with16(R, at::biBitCount, 0), text::badFormat},
        {"bit count 1, /r", R, with16(R, at::biBitCount, 1), text::badFormat},
        {"bit count 4, /r", R, with16(R, at::biBitCount, 4), text::badFormat},
        {"bit count 16, /r", R, with16(R, at::biBitCount, 16), text::badFormat},
        {"bit count 24, /r", R, colour, text::badFormat},
        {"bit count 32, /r", R, with16(R, at::biBitCount, 32), text::badFormat},
        {"bit count 264 (8 in its low byte), /r", R, with16(R, at::biBitCount, 0x0108), text::badFormat},
        {"a folder", C, std::nullopt, text::cannotOpen},
        {"a folder, /r", R, std::nullopt, text::cannotOpen},

        // Truncation at every boundary
        {"13 bytes", C, cut(C, 13), text::badFormat},
        {"13 bytes, 8-bit", P, cut(P, 13), text::badFormat},
        {"13 bytes, /r", R, cut(R, 13), text::badFormat},
        {"14 bytes", C, cut(C, 14), text::badFormat},
        {"14 bytes, 8-bit", P, cut(P, 14), text::badFormat},
        {"14 bytes, /r", R, cut(R, 14), text::badFormat},
        {"57 bytes", C, cut(C, 57), text::badFormat},
        {"57 bytes, 8-bit", P, cut(P, 57), text::badFormat},
        {"57 bytes, /r", R, cut(R, 57), text::badFormat},
        {"58 bytes, rows from 54 cut", C, cut(C, 58), text::badFormat},
        {"58 bytes, no palette", P, cut(P, 58), text::badFormat},
        {"58 bytes, no rows, /r", R, cut(R, 58), text::badFormat},
        {"inside palette entry 1", P, cut(P, 60), text::badFormat},
        {"inside the palette", P, cut(P, 500), text::badFormat},
        {"one byte short of the palette", P, cut(P, 1077), text::badFormat},
        {"whole palette, no rows", P, cut(P, 1078), text::badFormat},
        {"inside the palette, /r", R, cut(P, 500), text::badFormat},
        {"one row missing", C, cut(C, 66), text::badFormat},
        {"one byte of the rows missing", C, cut(C, 77), text::badFormat},
        {"one row missing, 8-bit", P, cut(P, 1082), text::badFormat},
        {"one byte of the rows missing, 8-bit", P, cut(P, 1085), text::badFormat},
        {"one row missing, /r", R, cut(R, 62), text::badFormat},
        {"one byte of the rows missing, /r", R, cut(R, 65), text::badFormat},

        // bfOffBits: rows are read from wherever it points, header included
        {"bfOffBits 0", C, with32(C, at::bfOffBits, 0), ok, 66},
        {"bfOffBits 0, 8-bit", P, with32(P, at::bfOffBits, 0), ok, 66},
        {"bfOffBits 0, /r", R, with32(R, at::bfOffBits, 0), ok, 1086},
        {"bfOffBits inside the header", C, with32(C, at::bfOffBits, 20), ok, 66},
        {"bfOffBits inside the header, /r", R, with32(R, at::bfOffBits, 20), ok, 1086},
        {"bfOffBits leaves one byte too few", C, with32(C, at::bfOffBits, 55), text::badFormat},
        {"bfOffBits at the end", C, with32(C, at::bfOffBits, 78), text::badFormat},
        {"bfOffBits past the end", C, with32(C, at::bfOffBits, 100000), text::badFormat},
        {"bfOffBits past the end, 8-bit", P, with32(P, at::bfOffBits, 1087), text::badFormat},
        {"bfOffBits past the end, /r", R, with32(R, at::bfOffBits, 67), text::badFormat},
        {"bfOffBits past the end, no pixels, /r", R, headerOnly(0, 2, 8, 5000), ok, 1078},
        {"bfOffBits 2^31-1", C, with32(C, at::bfOffBits, INT32_MAX), text::badFormat},
        {"bfOffBits 2^31", C, with32(C, at::bfOffBits, 0x80000000), text::badFormat},
        {"bfOffBits 2^31, 8-bit", P, with32(P, at::bfOffBits, 0x80000000), text::badFormat},
        {"bfOffBits 2^31, /r", R, with32(R, at::bfOffBits, 0x80000000), text::badFormat},
        {"bfOffBits 2^31, no pixels, /r", R, headerOnly(0, 0, 8, 0x80000000), text::badFormat},
        {"bfOffBits 2^32-1", C, with32(C, at::bfOffBits, 0xFFFFFFFF), text::badFormat},
        {"bfOffBits 2^32-1, 8-bit", P, with32(P, at::bfOffBits, 0xFFFFFFFF), text::badFormat},
        {"bfOffBits 2^32-1, /r", R, with32(R, at::bfOffBits, 0xFFFFFFFF), text::badFormat},
        {"bfOffBits 2^32-1, no pixels", C, headerOnly(0, 0, 24, 0xFFFFFFFF), text::badFormat},

        // Widths and heights
        {"width 0", C, sized(C, 0, 2), ok, 58},
        {"width 0, 8-bit", P, sized(P, 0, 2), ok, 58},
        {"width 0, /r", R, sized(R, 0, 2), ok, 1078},
        {"height 0", C, sized(C, 3, 0), ok, 58},
        {"height 0, 8-bit", P, sized(P, 3, 0), ok, 58},
        {"height 0, /r", R, sized(R, 3, 0), ok, 1078},
        {"width -1: rows of 0 bytes", C, sized(C, -1, 2), ok, 58},
        {"width -1, /r", R, sized(R, -1, 2), ok, 1078},
        {"width -1, height -1", C, sized(C, -1, -1), ok, 58},
        {"height -1: top-down rows", C, sized(C, 3, -1), text::noMemory},
        {"height -1, 8-bit", P, sized(P, 3, -1), text::noMemory},
        {"height -1, /r", R, sized(R, 3, -1), text::noMemory},
        {"width -5, height 2: negative size", C, sized(C, -5, 2), text::noMemory},
        {"width -5, height 2, /r", R, sized(R, -5, 2), text::noMemory},
        {"width INT32_MIN", C, sized(C, INT32_MIN, 2), text::badFormat},
        {"width INT32_MIN, 8-bit", P, sized(P, INT32_MIN, 2), text::badFormat},
        {"width INT32_MIN, /r", R, sized(R, INT32_MIN, 2), text::badFormat},
        {"width INT32_MIN, height 0", C, sized(C, INT32_MIN, 0), text::badFormat},
        {"width INT32_MAX", C, sized(C, INT32_MAX, 1), text::badFormat},
        {"width INT32_MAX, 8-bit", P, sized(P, INT32_MAX, 1), text::badFormat},
        {"width INT32_MAX, /r", R, sized(R, INT32_MAX, 1), text::badFormat},
        {"width INT32_MAX, height 0, /r", R, sized(R, INT32_MAX, 0), text::badFormat},
        {"height INT32_MIN", C, sized(C, 3, INT32_MIN), text::badFormat},
        {"height INT32_MIN, 8-bit", P, sized(P, 3, INT32_MIN), text::badFormat},
        {"height INT32_MIN, /r", R, sized(R, 3, INT32_MIN), text::badFormat},
        {"height INT32_MAX", C, sized(C, 3, INT32_MAX), text::badFormat},
        {"height INT32_MAX, 8-bit", P, sized(P, 3, INT32_MAX), text::badFormat},
        {"height INT32_MAX, /r", R, sized(R, 3, INT32_MAX), text::badFormat},
        {"width 0, height INT32_MIN", C, sized(C, 0, INT32_MIN), ok, 58},
        {"width 0, height INT32_MAX", C, sized(C, 0, INT32_MAX), ok, 58},
        {"width 0, height INT32_MAX, 8-bit", P, sized(P, 0, INT32_MAX), ok, 58},
        {"width -1, height INT32_MAX, /r", R, sized(R, -1, INT32_MAX), ok, 1078},
        {"width -1, height INT32_MIN", C, sized(C, -1, INT32_MIN), ok, 58},
        {"width INT32_MIN, height INT32_MIN", C, sized(C, INT32_MIN, INT32_MIN), text::badFormat},
        {"width INT32_MAX, height INT32_MAX", C, sized(C, INT32_MAX, INT32_MAX), text::badFormat},
        {"24-bit stride just past the range", C, sized(C, 89478485, 1), text::badFormat},
        {"8-bit stride just past the range, /r", R, sized(R, 268435453, 1), text::badFormat},
        {"size just past 2^31-1", C, sized(C, 3, 178956971), text::badFormat},
        {"size 2^31, /r", R, sized(R, 4, 536870912), text::badFormat},
        {"size just below -2^31", C, sized(C, -5, 178956971), text::badFormat},
        {"size overflows, 8-bit", P, sized(P, 70000, 70000), text::badFormat},
        // Found by tovrin_fuzz: no pixels, yet every one of 1.5 billion empty rows was walked.
        {"width -1, height 1493172223", C, sized(C, -1, 1493172223), ok, 58},

        // biSize is not examined: bytes 54 to 57 stay palette entry 0
        {"biSize 12", C, with32(C, at::biSize, 12), ok, 66},
        {"biSize 108", C, with32(C, at::biSize, 108), ok, 66},
        {"biSize 124", C, with32(C, at::biSize, 124), ok, 66},
        {"biSize 12, 8-bit", P, with32(P, at::biSize, 12), ok, 66},
        {"biSize 108, 8-bit", P, with32(P, at::biSize, 108), ok, 66},
        {"biSize 124, /r", R, with32(R, at::biSize, 124), ok, 1086},
        {"biSize 0, /r", R, with32(R, at::biSize, 0), ok, 1086},
    };
    return table;
}

TEST_F(HostileInput, EveryRowDrawsItsLineAndLeavesSourceAndDestinationAsTheyShouldBe) {
    const Bytes before = {0xDE, 0xAD, 0xBE, 0xEF};
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        const std::string source = row.bytes ? put("in.bmp", *row.bytes) : path("in.bmp");
        if (!row.bytes) {
            fs::remove(source);
            fs::create_directory(source);
        }
        const std::string destination = put("out.bmp", before);
        std::vector<std::string> arguments = {source, destination};
        if (row.path == Path::expand) {
            arguments.push_back("/r");
        }
        const RunResult result = runTool(arguments);
        if (row.message.empty()) {
            expectSuccess(result);
            const Bytes out = readFile(destination);
            ASSERT_EQ(out.size(), row.length);
            EXPECT_EQ(getU32(out, at::bfSize), row.length);
            EXPECT_EQ(getU32(out, at::biSizeImage), row.length - getU32(out, at::bfOffBits));
            // biSize, biWidth and biHeight go out as read.
            EXPECT_EQ(Bytes(out.begin() + 14, out.begin() + 26),
                      Bytes(row.bytes->begin() + 14, row.bytes->begin() + 26));
        } else {
            expectFailure(result, row.message);
            EXPECT_EQ(readFile(destination), before);
        }
        if (row.bytes) {
            EXPECT_EQ(readFile(source), *row.bytes);
        } else {
            fs::remove(source);
        }
    }
}

}  // namespace
