#pragma once

#include <cstddef>
#include <cstdint>

namespace tovrin {

// The one heap block that holds a source's pixel rows and, after conversion,
// the gray rows packed over them. Move-only; releases its block when it goes
// out of scope, so a failure anywhere in a run cannot leak it.
//
// The block is never written by the allocator: a header that claims gigabytes
// of pixels costs only address space until a read actually fills the pages.
class PixelBuffer {
public:
    PixelBuffer() = default;
    // Throws message::memoryAllocationFailed for a negative size or when the
    // heap refuses. A size of 0 still yields a block. A large block starts at
    // the same place within a 4 KiB page as `filePosition` does within a file
    // block, so that reading the file into it copies between aligned bytes.
    static PixelBuffer allocate(std::int32_t size, std::uint32_t filePosition = 0);

    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    ~PixelBuffer();

    std::uint8_t* data() { return bytes_; }
    const std::uint8_t* data() const { return bytes_; }
    std::size_t size() const { return size_; }

private:
    void release() noexcept;

    std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
    std::uint8_t* mapping_ = nullptr;  // set when the block lies in a page mapping of its own
    std::size_t mappedLength_ = 0;
};

}  // namespace tovrin
