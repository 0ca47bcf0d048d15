// Every kernel variant this processor can run, against the double rules and
// the plain forward pass: all colours, then odd shapes in place.

#include "gray/gray_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<const tovrin::KernelVariant*> runnableVariants() {
    std::vector<const tovrin::KernelVariant*> runnable;
    for (const tovrin::KernelVariant& variant : tovrin::kernelVariants()) {
        if (variant.supported()) {
            runnable.push_back(&variant);
        }
    }
    return runnable;
}

TEST(KernelVariants, ThePortableOneIsLastAndTheChosenOneRunsHere) {
    const auto variants = tovrin::kernelVariants();
    ASSERT_FALSE(variants.empty());
    EXPECT_STREQ(variants.back().name, "portable");
    EXPECT_TRUE(tovrin::chosenKernelVariant().supported());
    // The widest supported variant is the one taken.
    EXPECT_EQ(&tovrin::chosenKernelVariant(), runnableVariants().front());
}

TEST(KernelVariants, ReduceEveryColourExactlyAsTheDoubleRule) {
    // All 2^24 colours as 4096 rows of 4096 pixels, blue varying fastest.
    constexpr std::int32_t width = 4096;
    constexpr std::int32_t height = 4096;
    Bytes colours(std::size_t{3} * width * height);
    Bytes expected(std::size_t{width} * height);
    for (std::uint32_t colour = 0; colour < expected.size(); ++colour) {
        const auto blue = static_cast<std::uint8_t>(colour);
        const auto green = static_cast<std::uint8_t>(colour >> 8);
        const auto red = static_cast<std::uint8_t>(colour >> 16);
        colours[3 * colour] = blue;
        colours[3 * colour + 1] = green;
        colours[3 * colour + 2] = red;
        expected[colour] = tovrin::grayFromPixel(blue, green, red);
    }
    for (const tovrin::KernelVariant* variant : runnableVariants()) {
        Bytes pixels = colours;
        variant->reduceRows(pixels.data(), pixels.data(), width, height, 3 * width, width);
        long wrong = 0;
        for (std::size_t colour = 0; colour < expected.size(); ++colour) {
            wrong += pixels[colour] != expected[colour];
        }
        EXPECT_EQ(wrong, 0) << variant->name;
    }
}

// Colours whose exact sum ends in one half, where the double rounding decides.
std::vector<std::uint32_t> halfColours() {
    std::vector<std::uint32_t> halves;
    for (std::uint32_t colour = 0; colour < (1u << 24); colour += 7) {
        const unsigned sum = 11 * (colour & 0xFF) + 59 * (colour >> 8 & 0xFF) + 30 * (colour >> 16);
        if (sum % 100 == 50) {
            halves.push_back(colour);
        }
    }
    return halves;
}

struct Shape {
    std::int32_t width;
    std::int32_t height;
    std::int32_t stride24;
    std::int32_t stride8;
};

// Widths around every block size the variants use, strides with and without
// slack (odd ones too), and enough rows that gray rows land over earlier
// colour rows.
std::vector<Shape> shapes() {
    std::vector<Shape> all;
    std::vector<std::int32_t> widths;
    for (std::int32_t width = 1; width <= 70; ++width) {
        widths.push_back(width);
    }
    for (const std::int32_t width : {95, 96, 97, 127, 128, 129, 191, 192, 193, 1000, 4095, 4096, 4097, 8250}) {
        widths.push_back(width);
    }
    for (const std::int32_t width : widths) {
        const std::int32_t tight24 = 3 * width;
        const std::int32_t padded24 = (tight24 + 3) / 4 * 4;
        const std::int32_t padded8 = (width + 3) / 4 * 4;
        all.push_back({width, 7, padded24, padded8});
        all.push_back({width, 5, tight24, width});
        all.push_back({width, 4, tight24 + 5, width + 3});
        all.push_back({width, 3, tight24 + 1, tight24 + 1});  // gray rows as far apart as colour rows
    }
    return all;
}

// Pixels from byte `from` on: every one a half-way colour, or every other one
// at random, so that the exact path is taken often.
void putColours(Bytes& buffer, std::size_t from, const std::vector<std::uint32_t>& halves, std::mt19937& random,
                bool allHalves) {
    for (std::size_t at = from; at + 2 < buffer.size(); at += 3) {
        const std::uint32_t colour = allHalves || random() % 2 ? halves[random() % halves.size()] : random();
        buffer[at] = static_cast<std::uint8_t>(colour);
        buffer[at + 1] = static_cast<std::uint8_t>(colour >> 8);
        buffer[at + 2] = static_cast<std::uint8_t>(colour >> 16);
    }
}

// The plain forward pass: the colour rows from byte `colourStart` packed into
// gray rows from byte 0, one pixel at a time by the double rule.
Bytes forwardPass(const Bytes& buffer, std::size_t colourStart, const Shape& shape) {
    Bytes packed = buffer;
    for (std::int32_t row = 0; row < shape.height; ++row) {
        for (std::int32_t x = 0; x < shape.width; ++x) {
            const std::uint8_t* pixel = &buffer[colourStart + std::size_t(row * shape.stride24 + 3 * x)];
            packed[std::size_t(row * shape.stride8 + x)] = tovrin::grayFromPixel(pixel[0], pixel[1], pixel[2]);
        }
    }
    return packed;
}

TEST(KernelVariants, ReduceInPlaceLikeTheForwardPassOnOddShapes) {
    const std::vector<std::uint32_t> halves = halfColours();
    std::mt19937 random(20261211);
    for (const Shape& shape : shapes()) {
        Bytes source(std::size_t{static_cast<std::size_t>(shape.stride24)} * shape.height);
        putColours(source, 0, halves, random, false);
        const Bytes expected = forwardPass(source, 0, shape);
        // Rows as they would arrive from the file: in two runs, split anywhere.
        const auto split = static_cast<std::int32_t>(random() % (shape.height + 1));
        for (const tovrin::KernelVariant* variant : runnableVariants()) {
            Bytes pixels = source;
            std::uint8_t* const start = pixels.data();
            variant->reduceRows(start, start, shape.width, split, shape.stride24, shape.stride8);
            variant->reduceRows(start + std::ptrdiff_t{split} * shape.stride24,
                                start + std::ptrdiff_t{split} * shape.stride8, shape.width, shape.height - split,
                                shape.stride24, shape.stride8);
            ASSERT_EQ(pixels, expected) << variant->name << ": width " << shape.width << ", strides "
                                        << shape.stride24 << " and " << shape.stride8 << ", split at row " << split;
        }
    }
}

// Rows read in ahead of where they belong: the colour rows lie some way past
// the gray rows they become, anywhere from just past the first gray row's
// end to well beyond it, and only the first `width` bytes of each gray row
// may change.
TEST(KernelVariants, ReduceColourRowsLyingPastTheirGrayRows) {
    const std::vector<std::uint32_t> halves = halfColours();
    std::mt19937 random(58);
    for (const Shape& shape : shapes()) {
        const auto grayBytes = std::size_t{static_cast<std::size_t>(shape.stride8)} * shape.height;
        const auto colourBytes = std::size_t{static_cast<std::size_t>(shape.stride24)} * shape.height;
        const std::size_t gap = static_cast<std::size_t>(shape.width) + random() % 100;
        Bytes buffer(gap + colourBytes, 0);
        for (std::uint8_t& byte : buffer) {
            byte = static_cast<std::uint8_t>(random());
        }
        const std::size_t colourStart = gap;  // gray row 0 ends at or before it
        putColours(buffer, colourStart, halves, random, true);
        const Bytes expected = forwardPass(buffer, colourStart, shape);
        ASSERT_LE(grayBytes, buffer.size());
        for (const tovrin::KernelVariant* variant : runnableVariants()) {
            Bytes pixels = buffer;
            variant->reduceRows(pixels.data() + colourStart, pixels.data(), shape.width, shape.height, shape.stride24,
                                shape.stride8);
            // Past the gray rows the colour bytes may be overwritten in any way the forward pass allows;
            // the gray rows themselves, padding included, must be exact.
            ASSERT_TRUE(std::equal(pixels.begin(), pixels.begin() + static_cast<std::ptrdiff_t>(grayBytes),
                                   expected.begin()))
                << variant->name << ": width " << shape.width << ", strides " << shape.stride24 << " and "
                << shape.stride8 << ", colour rows from byte " << colourStart;
        }
    }
}

TEST(KernelVariants, RemapEveryIndexAndKeepThePadding) {
    std::mt19937 random(1078);
    for (const Shape& shape : shapes()) {
        tovrin::GrayTable table;
        for (std::uint8_t& level : table) {
            level = static_cast<std::uint8_t>(random());
        }
        Bytes source(std::size_t{static_cast<std::size_t>(shape.stride8)} * shape.height);
        for (std::size_t at = 0; at < source.size(); ++at) {
            // Runs through all 256 indices, then at random.
            source[at] = static_cast<std::uint8_t>(at < 256 ? at : random());
        }
        Bytes expected = source;
        for (std::int32_t row = 0; row < shape.height; ++row) {
            for (std::int32_t x = 0; x < shape.width; ++x) {
                std::uint8_t& index = expected[std::size_t(row * shape.stride8 + x)];
                index = table[index];
            }
        }
        const auto split = static_cast<std::int32_t>(random() % (shape.height + 1));
        for (const tovrin::KernelVariant* variant : runnableVariants()) {
            Bytes pixels = source;
            variant->remapRows(pixels.data(), shape.width, split, shape.stride8, table);
            variant->remapRows(pixels.data() + std::ptrdiff_t{split} * shape.stride8, shape.width, shape.height - split,
                               shape.stride8, table);
            ASSERT_EQ(pixels, expected) << variant->name << ": width " << shape.width << ", stride "
                                        << shape.stride8 << ", split at row " << split;
        }
    }
}

TEST(KernelVariants, NothingIsTouchedForEmptyOrNegativeSizes) {
    const Shape empty[] = {{0, 3, 12, 4}, {4, 0, 12, 4}, {-5, 2, -12, -4}, {5, -1, 16, 8}};
    for (const tovrin::KernelVariant* variant : runnableVariants()) {
        for (const Shape& shape : empty) {
            Bytes pixels(64, 0x5A);
            tovrin::GrayTable table{};
            variant->reduceRows(pixels.data() + 32, pixels.data() + 32, shape.width, shape.height, shape.stride24,
                                shape.stride8);
            variant->remapRows(pixels.data() + 32, shape.width, shape.height, shape.stride8, table);
            EXPECT_EQ(pixels, Bytes(64, 0x5A)) << variant->name << ": " << shape.width << " x " << shape.height;
        }
    }
}

}  // namespace
