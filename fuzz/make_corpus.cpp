// Writes the seed corpus of tovrin_fuzz into the folder given as argument:
// small bitmaps from the test fixtures, what tovrin itself makes of them, and
// cut or bent copies. Each seed starts with the byte that chooses the run.

#include "app/run.h"
#include "support/bitmap_fixture.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace fixture;
namespace fs = std::filesystem;

enum Run : std::uint8_t { reduce = 0, expand = 1, reduceInPlace = 2 };

fs::path folder;

void seed(const std::string& name, Run run, const Bytes& source) {
    Bytes bytes{run};
    bytes.insert(bytes.end(), source.begin(), source.end());
    writeFile(folder / name, bytes);
}

Bytes cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes with32(Bytes bytes, std::size_t offset, std::int64_t value) {
    putU32(bytes, offset, static_cast<std::uint32_t>(value));
    return bytes;
}

Bytes with16(Bytes bytes, std::size_t offset, std::uint16_t value) {
    putU16(bytes, offset, value);
    return bytes;
}

// What tovrin writes for `source`, through the same run the fuzzer drives.
Bytes converted(const Bytes& source, bool toFullPalette) {
    const fs::path in = folder / "convert-in.tmp";
    const fs::path out = folder / "convert-out.tmp";
    writeFile(in, source);
    const std::string inPath = in.string();
    const std::string outPath = out.string();
    const char* arguments[] = {"tovrin", inPath.c_str(), outPath.c_str(), "/r"};
    if (tovrin::run({arguments, toFullPalette ? 4u : 3u}, stderr) != 0) {
        throw std::runtime_error("a seed did not convert");
    }
    Bytes result = readFile(out);
    fs::remove(in);
    fs::remove(out);
    return result;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus FOLDER\n");
        return 2;
    }
    folder = argv[1];
    fs::create_directories(folder);

    std::vector<Quad> colours;
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        colours.push_back({static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 13), level, 0x99});
    }
    const Bytes colour = bitmap24(3, 2, randomPixels(6, 1), 0xEE);
    const Bytes palette = bitmap8(5, 2, colours, {0, 1, 2, 250, 255, 128, 64, 32, 16, 8});
    const Bytes compact = converted(colour, false);
    const Bytes full = converted(compact, true);
    std::vector<Quad> sixteen(16, Quad{100, 7, 3});

    seed("colour-3x2", reduce, colour);
    seed("colour-1x1", reduce, bitmap24(1, 1, {{255, 255, 255}}));
    seed("colour-4x2", reduce, bitmap24(4, 2, randomPixels(8, 2)));
    seed("colour-in-place", reduceInPlace, colour);
    seed("colour-with-r", expand, colour);
    seed("palette-5x2", reduce, palette);
    seed("palette-with-r", expand, palette);
    seed("palette-ramp", reduceInPlace, bitmap8(7, 3, grayRamp(), std::vector<std::uint8_t>(21, 200)));
    seed("palette-two-entries", reduce, bitmap8(4, 254, {{0, 0, 255}, {255, 0, 0}}, std::vector<std::uint8_t>(1016, 1)));
    seed("palette-sixteen-entries", expand, bitmap8(3, 2, sixteen, {1, 2, 3, 13, 14, 15}));
    seed("compact", expand, compact);
    seed("compact-default", reduce, compact);
    seed("full", expand, full);
    seed("full-default", reduce, full);

    seed("cut-13", reduce, cut(colour, 13));
    seed("cut-14", reduce, cut(colour, 14));
    seed("cut-57", reduce, cut(colour, 57));
    seed("cut-58", expand, cut(compact, 58));
    seed("cut-in-palette", reduce, cut(palette, 600));
    seed("cut-in-rows", reduce, cut(colour, colour.size() - 3));
    seed("cut-in-rows-r", expand, cut(compact, compact.size() - 1));

    seed("off-bits-0", reduce, with32(colour, at::bfOffBits, 0));
    seed("off-bits-past-end", expand, with32(compact, at::bfOffBits, 5000));
    seed("off-bits-2-31", expand, with32(headerOnly(0, 0, 8), at::bfOffBits, 0x80000000));
    seed("bi-size-108", reduce, with32(colour, at::biSize, 108));
    seed("bi-size-124", expand, with32(compact, at::biSize, 124));
    seed("bi-size-12", reduce, with32(colour, at::biSize, 12));
    seed("planes-2", reduce, with16(colour, at::biPlanes, 2));
    seed("bit-count-16", reduce, with16(colour, at::biBitCount, 16));
    seed("bit-count-32", expand, with16(compact, at::biBitCount, 32));
    seed("top-down", reduce, with32(colour, at::biHeight, -2));
    seed("negative-both", reduce, [] {
        Bytes bytes = headerOnly(-5, -1, 24);
        bytes.insert(bytes.end(), 12, 0x40);
        return bytes;
    }());
    seed("width-0", expand, headerOnly(0, 5, 8));
    seed("height-int-min", reduce, headerOnly(4, INT32_MIN, 24));
    seed("width-int-max", reduce, headerOnly(INT32_MAX, 1, 24));
    seed("size-overflow", expand, headerOnly(70000, 70000, 8));
    seed("huge-claim", reduce, headerOnly(16000, 16000, 24));
    return 0;
}
