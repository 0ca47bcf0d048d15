#include "bitmap/pixel_buffer.h"

#include "bitmap/messages.h"

#include <cstdlib>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tovrin {

namespace {

#if defined(__linux__)
// Large images are mapped on 2 MiB boundaries and offered to transparent huge
// pages: faulting in 4 KiB pages costs more kernel time than the whole
// conversion. It is only a hint; without it the mapping works the same.
constexpr std::size_t hugePageSize = std::size_t{2} << 20;

constexpr std::size_t smallPageSize = 4096;

std::uint8_t* mapAligned(std::size_t size, std::size_t& mappedLength) {
    // Map one large page more than needed, then trim both ends so that what
    // is left starts on a large-page boundary and spans whole large pages.
    const std::size_t body = (size + hugePageSize - 1) / hugePageSize * hugePageSize;
    const std::size_t length = body + hugePageSize;
    void* mapping = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        return nullptr;
    }
    auto* start = static_cast<std::uint8_t*>(mapping);
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::size_t lead = (hugePageSize - address % hugePageSize) % hugePageSize;
    if (lead > 0) {
        munmap(start, lead);
    }
    if (length - lead > body) {
        munmap(start + lead + body, length - lead - body);
    }
    madvise(start + lead, body, MADV_HUGEPAGE);
    mappedLength = body;
    return start + lead;
}
#endif

}  // namespace

PixelBuffer PixelBuffer::allocate(std::int32_t size, [[maybe_unused]] std::uint32_t filePosition) {
    if (size < 0) {
        throw message::memoryAllocationFailed;
    }
    PixelBuffer buffer;
    buffer.size_ = static_cast<std::size_t>(size);
#if defined(__linux__)
    if (buffer.size_ >= hugePageSize) {
        const std::size_t lead = filePosition % smallPageSize;
        buffer.mapping_ = mapAligned(lead + buffer.size_, buffer.mappedLength_);
        if (buffer.mapping_ == nullptr) {
            throw message::memoryAllocationFailed;
        }
        buffer.bytes_ = buffer.mapping_ + lead;
        return buffer;
    }
#endif
    // malloc(0) may return null; ask for one byte so that size 0 still has a block.
    buffer.bytes_ = static_cast<std::uint8_t*>(std::malloc(size > 0 ? buffer.size_ : 1));
    if (buffer.bytes_ == nullptr) {
        throw message::memoryAllocationFailed;
    }
    return buffer;
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : bytes_(std::exchange(other.bytes_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mappedLength_(std::exchange(other.mappedLength_, 0)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
    if (this != &other) {
        release();
        bytes_ = std::exchange(other.bytes_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mappedLength_ = std::exchange(other.mappedLength_, 0);
    }
    return *this;
}

PixelBuffer::~PixelBuffer() { release(); }

void PixelBuffer::release() noexcept {
    if (bytes_ == nullptr) {
        return;
    }
#if defined(__linux__)
    if (mapping_ != nullptr) {
        munmap(mapping_, mappedLength_);
        mapping_ = nullptr;
        bytes_ = nullptr;
        return;
    }
#endif
    std::free(bytes_);
    bytes_ = nullptr;
}

}  // namespace tovrin
