// Speed of every kernel variant this processor can run, on photo-like data,
// in pixels per second: a small image that stays in cache between runs, and a
// 6000 x 4000 image brought back from memory each time. Only the kernel is
// timed, not the copying that gives it fresh photo-like data each time.
//
//   tovrin_kernels_bench [--benchmark_filter=...]

#include "gray/gray_kernels.h"
#include "photo.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Image {
    std::int32_t width;
    std::int32_t height;
    bool inCache;
};

constexpr Image small{1024, 64, true};
constexpr Image large{6000, 4000, false};

// Touching this much other memory between runs pushes the image out of every cache level.
constexpr std::size_t scrubSize = std::size_t{256} << 20;

void scrubCaches(std::vector<std::uint8_t>& scrub) {
    for (std::size_t at = 0; at < scrub.size(); at += 64) {
        scrub[at] = static_cast<std::uint8_t>(scrub[at] + 1);
    }
    benchmark::DoNotOptimize(scrub.data());
}

tovrin::GrayTable paletteTable() {
    const std::vector<std::uint8_t> palette = bench::paletteEntries();
    tovrin::GrayTable table;
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = tovrin::grayFromPaletteEntry(palette[4 * i], palette[4 * i + 1], palette[4 * i + 2]);
    }
    return table;
}

// Runs `kernel` on a fresh copy of `pristine` each time and times the kernel
// alone; the copy stays in cache for the small image and is pushed out of
// it for the large one.
template <typename Kernel>
void runOn(benchmark::State& state, const Image& image, const std::vector<std::uint8_t>& pristine, Kernel kernel) {
    std::vector<std::uint8_t> pixels = pristine;
    std::vector<std::uint8_t> scrub(image.inCache ? 0 : scrubSize, 1);
    for (auto _ : state) {
        std::memcpy(pixels.data(), pristine.data(), pixels.size());
        if (!image.inCache) {
            scrubCaches(scrub);
        }
        const auto start = std::chrono::steady_clock::now();
        kernel(pixels.data());
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t{image.width} * image.height);
    state.counters["Gpixels"] = benchmark::Counter(double(image.width) * image.height / 1e9,
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

void registerVariant(const tovrin::KernelVariant& variant, const Image& image) {
    const std::string where = image.inCache ? "in_cache" : "from_memory";
    const std::int32_t width = image.width;
    const std::int32_t height = image.height;
    const auto stride24 = static_cast<std::int32_t>(bench::strideOf(width, 24));
    const auto stride8 = static_cast<std::int32_t>(bench::strideOf(width, 8));

    benchmark::RegisterBenchmark(("reduce24/" + where + "/" + variant.name).c_str(),
                                 [=, &variant](benchmark::State& state) {
                                     const auto pristine = bench::colourRows(width, height);
                                     runOn(state, image, pristine, [&](std::uint8_t* pixels) {
                                         variant.reduceRows(pixels, pixels, width, height, stride24, stride8);
                                     });
                                 })
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime();
    benchmark::RegisterBenchmark(("remap8/" + where + "/" + variant.name).c_str(),
                                 [=, &variant](benchmark::State& state) {
                                     const auto pristine = bench::indexRows(width, height);
                                     const tovrin::GrayTable table = paletteTable();
                                     runOn(state, image, pristine, [&](std::uint8_t* pixels) {
                                         variant.remapRows(pixels, width, height, stride8, table);
                                     });
                                 })
        ->Unit(benchmark::kMicrosecond)
        ->UseManualTime();
}

}  // namespace

int main(int argc, char** argv) {
    for (const Image& image : {small, large}) {
        for (const tovrin::KernelVariant& variant : tovrin::kernelVariants()) {
            if (variant.supported()) {
                registerVariant(variant, image);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
