// The x86-64 variants: compiled for AVX2 and AVX-512 through function
// attributes only, so the rest of the program stays portable, and run only
// where the processor says it has those instructions.

#include "gray/kernel_parts.h"

#ifdef TOVRIN_X86_KERNELS

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstddef>

#define TOVRIN_AVX2 __attribute__((target("avx2")))
#define TOVRIN_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Makes a constant opaque to the optimiser, which would otherwise turn the
// one multiply by 100 that finds the half-way lanes into five shifts and
// additions.
#define TOVRIN_OPAQUE(vector) asm("" : "+x"(vector))

namespace tovrin::kernel {

bool hasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool hasAvx512Vbmi() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

namespace {

// Weights as bytes for pmaddubsw, in the pixel's byte order blue, green, red.
constexpr std::uint8_t weightBlue = 11;
constexpr std::uint8_t weightGreen = 59;
constexpr std::uint8_t weightRed = 30;

// ---- AVX2: 32 pixels per step

// Sums of 8 pixels (24 bytes) taken from a 32-byte load, one per 32-bit lane.
// `spread` moves pixels 0-3 into the low 128-bit half and 4-7 into the high
// one, since the byte shuffle cannot cross halves.
TOVRIN_AVX2 __m256i sumsOfEight(const std::uint8_t* at, __m256i spread) {
    const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i halves = _mm256_permutevar8x32_epi32(raw, spread);
    const __m256i quads = _mm256_shuffle_epi8(
        halves, _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
    const __m256i weights = _mm256_set1_epi32(weightBlue | weightGreen << 8 | weightRed << 16);
    const __m256i pairs = _mm256_maddubs_epi16(quads, weights);
    return _mm256_madd_epi16(pairs, _mm256_set1_epi16(1));
}

// Gray levels of 16-bit sums, and the lanes where the sum ended in one half.
TOVRIN_AVX2 __m256i levelsOf(__m256i sums, __m256i& halves) {
    const __m256i rounded = _mm256_add_epi16(sums, _mm256_set1_epi16(50));
    const __m256i level =
        _mm256_srli_epi16(_mm256_mulhi_epu16(rounded, _mm256_set1_epi16(divideBy100Multiplier)), 4);
    __m256i hundred = _mm256_set1_epi16(100);
    TOVRIN_OPAQUE(hundred);
    halves = _mm256_cmpeq_epi16(_mm256_mullo_epi16(level, hundred), rounded);
    return level;
}

}  // namespace

TOVRIN_AVX2 void reduceRowAvx2(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
    const __m256i spread = _mm256_setr_epi32(0, 1, 2, 2, 3, 4, 5, 5);
    // The last 8 pixels are loaded from byte 64 of the block so that no load
    // reaches past its 96 bytes.
    const __m256i spreadLast = _mm256_setr_epi32(2, 3, 4, 4, 5, 6, 7, 7);
    // The two packs interleave 4-pixel groups across the 128-bit halves.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    std::int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const std::uint8_t* block = in + std::ptrdiff_t{3} * x;
        const __m256i sums01 = _mm256_packus_epi32(sumsOfEight(block, spread), sumsOfEight(block + 24, spread));
        const __m256i sums23 =
            _mm256_packus_epi32(sumsOfEight(block + 48, spread), sumsOfEight(block + 64, spreadLast));
        __m256i halves01;
        __m256i halves23;
        const __m256i levels01 = levelsOf(sums01, halves01);
        const __m256i levels23 = levelsOf(sums23, halves23);
        __m256i gray = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(levels01, levels23), order);
        const auto halves = static_cast<std::uint32_t>(
            _mm256_movemask_epi8(_mm256_permutevar8x32_epi32(_mm256_packs_epi16(halves01, halves23), order)));
        if (halves != 0) {
            alignas(32) std::uint8_t patched[32];
            _mm256_store_si256(reinterpret_cast<__m256i*>(patched), gray);
            patchHalves(patched, halves, block);
            gray = _mm256_load_si256(reinterpret_cast<const __m256i*>(patched));
        }
        // The 32 gray bytes end before byte 96 of the block, all of it read above.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), gray);
    }
    for (; x < width; ++x) {
        out[x] = reducePixel(in + std::ptrdiff_t{3} * x);
    }
}

// A 256-entry lookup from sixteen 16-entry ones: the low nibble picks within
// each, then bits 4 to 7 choose among them, one bit per round of blends
// (vpblendvb looks at bit 7 of each byte, so each bit is shifted up there).
TOVRIN_AVX2 void remapRowAvx2(std::uint8_t* line, std::int32_t width, const GrayTable& table) {
    __m256i pieces[16];
    for (int k = 0; k < 16; ++k) {
        pieces[k] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data() + 16 * k)));
    }
    const __m256i lowNibble = _mm256_set1_epi8(0x0F);
    std::int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m256i index = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + x));
        const __m256i low = _mm256_and_si256(index, lowNibble);
        __m256i level[8];
        const __m256i bit4 = _mm256_slli_epi16(index, 3);
        for (int k = 0; k < 8; ++k) {
            level[k] = _mm256_blendv_epi8(_mm256_shuffle_epi8(pieces[2 * k], low),
                                          _mm256_shuffle_epi8(pieces[2 * k + 1], low), bit4);
        }
        const __m256i bit5 = _mm256_slli_epi16(index, 2);
        for (int k = 0; k < 4; ++k) {
            level[k] = _mm256_blendv_epi8(level[2 * k], level[2 * k + 1], bit5);
        }
        const __m256i bit6 = _mm256_slli_epi16(index, 1);
        for (int k = 0; k < 2; ++k) {
            level[k] = _mm256_blendv_epi8(level[2 * k], level[2 * k + 1], bit6);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + x), _mm256_blendv_epi8(level[0], level[1], index));
    }
    for (; x < width; ++x) {
        line[x] = table[line[x]];
    }
}

// ---- AVX-512 VBMI: 64 pixels per step

namespace {

using ByteIndex = std::array<std::uint8_t, 64>;

// vpermi2b indices into two registers taken as one 128-byte table: for 16-bit
// lane i, the pixel's blue and green bytes, or its red byte twice (the second
// copy meets a weight of 0). `first` is the offset of pixel 0 in the pair.
constexpr ByteIndex pairIndex(int first, int channel, bool twice) {
    ByteIndex index{};
    for (int lane = 0; lane < 32; ++lane) {
        const int at = first + 3 * lane + channel;
        index[2 * lane] = static_cast<std::uint8_t>(at);
        index[2 * lane + 1] = static_cast<std::uint8_t>(twice ? at : at + 1);
    }
    return index;
}

constexpr ByteIndex lowBytesIndex() {
    ByteIndex index{};
    for (int lane = 0; lane < 64; ++lane) {
        index[lane] = static_cast<std::uint8_t>(2 * lane);
    }
    return index;
}

alignas(64) constexpr ByteIndex blueGreenFirst = pairIndex(0, 0, false);
alignas(64) constexpr ByteIndex redFirst = pairIndex(0, 2, true);
// Pixels 32-63 start at byte 96, which is byte 32 of the second register.
alignas(64) constexpr ByteIndex blueGreenSecond = pairIndex(32, 0, false);
alignas(64) constexpr ByteIndex redSecond = pairIndex(32, 2, true);
alignas(64) constexpr ByteIndex lowBytes = lowBytesIndex();

TOVRIN_AVX512 __m512i loadIndex(const ByteIndex& index) { return _mm512_load_si512(index.data()); }

TOVRIN_AVX512 __mmask64 firstBytes(std::int32_t count) {
    if (count <= 0) {
        return 0;
    }
    return count >= 64 ? ~__mmask64{0} : (__mmask64{1} << count) - 1;
}

TOVRIN_AVX512 __m512i levelsOf(__m512i blueGreen, __m512i red, __mmask32& halves) {
    const __m512i sums =
        _mm512_add_epi16(_mm512_maddubs_epi16(blueGreen, _mm512_set1_epi16(weightBlue | weightGreen << 8)),
                         _mm512_maddubs_epi16(red, _mm512_set1_epi16(weightRed)));
    const __m512i rounded = _mm512_add_epi16(sums, _mm512_set1_epi16(50));
    const __m512i level =
        _mm512_srli_epi16(_mm512_mulhi_epu16(rounded, _mm512_set1_epi16(divideBy100Multiplier)), 4);
    __m512i hundred = _mm512_set1_epi16(100);
    TOVRIN_OPAQUE(hundred);
    halves = _mm512_cmpeq_epi16_mask(_mm512_mullo_epi16(level, hundred), rounded);
    return level;
}

// Up to 64 pixels; a short block (the end of a row) loads and stores under
// masks so that it touches no byte beyond the row. Returns the lanes whose sum
// ended in one half: unless `settleHalves`, their gray bytes are still the
// rounded-up level, for the caller to settle.
template <bool whole, bool settleHalves>
TOVRIN_AVX512 std::uint64_t reduceBlockAvx512(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) {
    __m512i bytes[3];
    for (int k = 0; k < 3; ++k) {
        bytes[k] = whole ? _mm512_loadu_si512(in + 64 * k)
                         : _mm512_maskz_loadu_epi8(firstBytes(3 * count - 64 * k), in + 64 * k);
    }
    __mmask32 halvesFirst;
    __mmask32 halvesSecond;
    const __m512i first = levelsOf(_mm512_permutex2var_epi8(bytes[0], loadIndex(blueGreenFirst), bytes[1]),
                                   _mm512_permutex2var_epi8(bytes[0], loadIndex(redFirst), bytes[1]),
                                   halvesFirst);
    const __m512i second = levelsOf(_mm512_permutex2var_epi8(bytes[1], loadIndex(blueGreenSecond), bytes[2]),
                                    _mm512_permutex2var_epi8(bytes[1], loadIndex(redSecond), bytes[2]),
                                    halvesSecond);
    __m512i gray = _mm512_permutex2var_epi8(first, loadIndex(lowBytes), second);
    const __mmask64 stored = firstBytes(count);
    const std::uint64_t halves = (std::uint64_t{halvesFirst} | std::uint64_t{halvesSecond} << 32) & stored;
    // Lanes put in one by one: a round trip through memory would stall
    // the load on the bytes just stored.
    for (std::uint64_t rest = settleHalves ? halves : 0; rest != 0; rest &= rest - 1) {
        const int lane = __builtin_ctzll(rest);
        const std::uint8_t* pixel = in + 3 * lane;
        gray = _mm512_mask_set1_epi8(gray, __mmask64{1} << lane,
                                     static_cast<char>(grayFromPixel(pixel[0], pixel[1], pixel[2])));
    }
    // The gray bytes end before the last colour byte read above.
    if (whole) {
        _mm512_storeu_si512(out, gray);
    } else {
        _mm512_mask_storeu_epi8(out, stored, gray);
    }
    return halves;
}

// Pixels per run of blocks whose half-way lanes are settled together.
constexpr std::int32_t settleRun = 4096;
constexpr std::int32_t blocksPerRun = settleRun / 64;

// Lists the lanes flagged in `halves`, one 64-bit mask per block of 64 pixels,
// as pixel positions in the run. A block rarely holds more than two, so the
// first two are listed without a branch (a mask of 0 lists nothing) and only
// the rest take a loop: branching on each block would guess wrong about as
// often as right.
int listFlagged(const std::uint64_t* halves, int blocks, std::uint16_t* positions) {
    constexpr std::uint64_t none = std::uint64_t{1} << 63;  // keeps the count defined; never listed
    int listed = 0;
    for (int block = 0; block < blocks; ++block) {
        const std::uint64_t first = halves[block];
        const std::uint64_t second = first & (first - 1);
        const int base = 64 * block;
        positions[listed] = static_cast<std::uint16_t>(base + __builtin_ctzll(first | none));
        listed += first != 0;
        positions[listed] = static_cast<std::uint16_t>(base + __builtin_ctzll(second | none));
        listed += second != 0;
        for (std::uint64_t rest = second & (second - 1); rest != 0; rest &= rest - 1) {
            positions[listed++] = static_cast<std::uint16_t>(base + __builtin_ctzll(rest));
        }
    }
    return listed;
}

}  // namespace

TOVRIN_AVX512 void reduceRowAvx512(const std::uint8_t* in, std::uint8_t* out, std::int32_t width) {
    std::int32_t x = 0;
    if (out + width > in) {
        // The gray row may cover its own colour bytes: each block settles its
        // half-way lanes before it stores.
        for (; x + 64 <= width; x += 64) {
            reduceBlockAvx512<true, true>(in + std::ptrdiff_t{3} * x, out + x, 64);
        }
        if (x < width) {
            reduceBlockAvx512<false, true>(in + std::ptrdiff_t{3} * x, out + x, width - x);
        }
        return;
    }
    // Otherwise the colour bytes stay as they are until the row is done, and
    // the half-way lanes of a run of blocks are settled together afterwards.
    std::uint64_t halves[blocksPerRun];
    std::uint16_t flagged[settleRun + 2];
    for (std::int32_t runStart = 0; runStart < width; runStart += settleRun) {
        const std::int32_t runEnd = std::min(width, runStart + settleRun);
        int blocks = 0;
        for (x = runStart; x < runEnd; x += 64, ++blocks) {
            const std::int32_t count = std::min(64, runEnd - x);
            halves[blocks] = count == 64 ? reduceBlockAvx512<true, false>(in + std::ptrdiff_t{3} * x, out + x, 64)
                                         : reduceBlockAvx512<false, false>(in + std::ptrdiff_t{3} * x, out + x, count);
        }
        const int listed = listFlagged(halves, blocks, flagged);
        for (int k = 0; k < listed; ++k) {
            const std::int32_t at = runStart + flagged[k];
            const std::uint8_t* pixel = in + std::ptrdiff_t{3} * at;
            out[at] = grayFromPixel(pixel[0], pixel[1], pixel[2]);
        }
    }
}

namespace {

// vpermi2b looks up 128 entries from two registers by the low 7 bits; bit 7
// of the index then picks the lower or the upper half of the table.
TOVRIN_AVX512 __m512i lookUp(const __m512i (&table)[4], __m512i index) {
    const __m512i lower = _mm512_permutex2var_epi8(table[0], index, table[1]);
    const __m512i upper = _mm512_permutex2var_epi8(table[2], index, table[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), lower, upper);
}

}  // namespace

TOVRIN_AVX512 void remapRowAvx512(std::uint8_t* line, std::int32_t width, const GrayTable& table) {
    __m512i quarters[4];
    for (int k = 0; k < 4; ++k) {
        quarters[k] = _mm512_loadu_si512(table.data() + 64 * k);
    }
    // The bytes up to the first cache-line boundary go first, under a mask,
    // so that the whole blocks after them neither load nor store across two
    // lines. Rows start anywhere: the stride is any multiple of 4.
    const auto lead = static_cast<std::int32_t>((64 - reinterpret_cast<std::uintptr_t>(line) % 64) % 64);
    std::int32_t x = std::min(lead, width);
    if (x > 0) {
        const __mmask64 head = firstBytes(x);
        _mm512_mask_storeu_epi8(line, head, lookUp(quarters, _mm512_maskz_loadu_epi8(head, line)));
    }
    for (; x + 64 <= width; x += 64) {
        _mm512_store_si512(line + x, lookUp(quarters, _mm512_load_si512(line + x)));
    }
    if (x < width) {
        const __mmask64 rest = firstBytes(width - x);
        _mm512_mask_storeu_epi8(line + x, rest, lookUp(quarters, _mm512_maskz_loadu_epi8(rest, line + x)));
    }
}

}  // namespace tovrin::kernel

#endif
