// The floor for one conversion: what any converter must at least do, with
// nothing computed. Reads the 58-byte header block, reads the pixel rows with
// one read into a buffer on 2 MiB pages, writes a 58-byte header and the
// 8-bit rows' worth of bytes from the start of that buffer.
//
//   tovrin_floor SOURCE DESTINATION

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::size_t largePage = std::size_t{2} << 20;

std::uint32_t le32(const std::uint8_t* at) {
    return at[0] | at[1] << 8 | at[2] << 16 | std::uint32_t{at[3]} << 24;
}

// read and write may move fewer bytes than asked; go on until all are moved.
template <typename Byte, typename Move>
bool moveAll(Move move, int fd, Byte* at, std::size_t size) {
    while (size > 0) {
        const ssize_t moved = move(fd, at, size);
        if (moved <= 0) {
            return false;
        }
        at += moved;
        size -= static_cast<std::size_t>(moved);
    }
    return true;
}

bool readAll(int fd, std::uint8_t* at, std::size_t size) { return moveAll(read, fd, at, size); }
bool writeAll(int fd, const std::uint8_t* at, std::size_t size) { return moveAll(write, fd, at, size); }

int fail(const char* what) {
    std::perror(what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE DESTINATION\n", argv[0]);
        return 2;
    }
    const int source = open(argv[1], O_RDONLY);
    std::uint8_t header[58];
    if (source < 0 || !readAll(source, header, sizeof header)) {
        return fail("reading the header");
    }
    const std::uint32_t offBits = le32(header + 10);
    const auto width = static_cast<std::size_t>(le32(header + 18));
    const auto height = static_cast<std::size_t>(le32(header + 22));
    const unsigned bitCount = header[28];
    const std::size_t size = (width * bitCount + 31) / 32 * 4 * height;
    const std::size_t size8 = (width * 8 + 31) / 32 * 4 * height;

    // As tovrin does: whole large pages, aligned, all of them advised.
    const std::size_t body = (size + largePage - 1) / largePage * largePage;
    const std::size_t mapped = body + largePage;
    void* mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        return fail("mapping");
    }
    const auto address = reinterpret_cast<std::uintptr_t>(mapping);
    auto* pixels = static_cast<std::uint8_t*>(mapping) + (largePage - address % largePage) % largePage;
    madvise(pixels, body, MADV_HUGEPAGE);
    if (lseek(source, offBits, SEEK_SET) < 0 || !readAll(source, pixels, size)) {
        return fail("reading the rows");
    }
    close(source);

    const int destination = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (destination < 0 || !writeAll(destination, header, sizeof header) ||
        !writeAll(destination, pixels, size8) || close(destination) != 0) {
        return fail("writing");
    }
    return 0;
}
