// libFuzzer target: one whole run of tovrin on the fuzzed bytes.
//
// The first byte chooses the run (bit 0: the /r switch, bit 1: the source is
// also the destination); the rest is the source file. After each run the
// target checks what a user could see: one known message or none, status 0
// or -1, a destination of exactly the size its header implies on success,
// and a source left alone unless it was also the destination.

#include "app/run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string badImageFormat = "Error: Bad image format\n";
const std::string memoryAllocationFailed = "Error: Memory allocation failed\n";

[[noreturn]] void fail(const char* what, const std::string& detail = "") {
    std::fprintf(stderr, "tovrin_fuzz: %s %s\n", what, detail.c_str());
    std::abort();
}

// One folder for the whole campaign, in memory where the system offers it,
// removed at exit. A plain array: it must outlive every static destructor.
char workFolder[64];

void removeWorkFolder() {
    std::remove((std::string(workFolder) + "/in.bmp").c_str());
    std::remove((std::string(workFolder) + "/out.bmp").c_str());
    std::remove(workFolder);
}

void makeWorkFolder() {
    std::snprintf(workFolder, sizeof workFolder, "%s/tovrin-fuzz-XXXXXX",
                  access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    if (mkdtemp(workFolder) == nullptr) {
        fail("cannot make a work folder");
    }
    std::atexit(removeWorkFolder);
}

std::uint32_t u32At(const std::uint8_t* bytes, std::size_t offset) {
    return std::uint32_t{bytes[offset]} | std::uint32_t{bytes[offset + 1]} << 8 |
           std::uint32_t{bytes[offset + 2]} << 16 | std::uint32_t{bytes[offset + 3]} << 24;
}

// The destination's length for a source that converted, worked out apart from
// the tool: 8-bit rows rounded up to 4 bytes, times the height.
long expectedLength(const std::uint8_t* source, bool expand) {
    const auto width = static_cast<std::int64_t>(static_cast<std::int32_t>(u32At(source, 18)));
    const auto height = static_cast<std::int64_t>(static_cast<std::int32_t>(u32At(source, 22)));
    const std::int64_t stride = ((width * 8 + 31) >> 3) & ~std::int64_t{3};
    return static_cast<long>((expand ? 1078 : 58) + stride * height);
}

bool writeWhole(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

std::vector<std::uint8_t> readWhole(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return bytes;
    }
    std::uint8_t chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return bytes;
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool expand = (data[0] & 1) != 0;
    const bool inPlace = (data[0] & 2) != 0;
    const std::uint8_t* source = data + 1;
    const std::size_t sourceSize = size - 1;

    if (workFolder[0] == '\0') {
        makeWorkFolder();
    }
    const std::string sourcePath = std::string(workFolder) + "/in.bmp";
    const std::string destinationPath = inPlace ? sourcePath : std::string(workFolder) + "/out.bmp";
    std::remove(destinationPath.c_str());
    if (!writeWhole(sourcePath, source, sourceSize)) {
        fail("cannot write the source");
    }

    char* printed = nullptr;
    std::size_t printedSize = 0;
    std::FILE* messages = open_memstream(&printed, &printedSize);
    if (messages == nullptr) {
        fail("cannot open a message stream");
    }
    const char* arguments[] = {"tovrin", sourcePath.c_str(), destinationPath.c_str(), "/r"};
    const int status = tovrin::run({arguments, expand ? 4u : 3u}, messages);
    std::fclose(messages);
    const std::string line(printed, printedSize);
    std::free(printed);

    if (!inPlace && readWhole(sourcePath) != std::vector<std::uint8_t>(source, source + sourceSize)) {
        fail("the source was changed");
    }
    if (status == 0) {
        if (!line.empty()) {
            fail("success printed", line);
        }
        // Only a source with a whole header block can have converted.
        if (sourceSize < 58) {
            fail("success on a source shorter than its header");
        }
        const std::vector<std::uint8_t> out = readWhole(destinationPath);
        const long want = expectedLength(source, expand);
        if (static_cast<long>(out.size()) != want) {
            fail("destination length", std::to_string(out.size()) + " want " + std::to_string(want));
        }
        if (u32At(out.data(), 2) != out.size() || u32At(out.data(), 10) != (expand ? 1078u : 58u)) {
            fail("destination header does not match its length");
        }
        return 0;
    }
    if (status != -1) {
        fail("status", std::to_string(status));
    }
    // On a writable temporary folder only the source itself can be refused,
    // and every check on it comes before the destination is created.
    if (line != badImageFormat && line != memoryAllocationFailed) {
        fail("unexpected message", line);
    }
    if (inPlace) {
        if (readWhole(sourcePath) != std::vector<std::uint8_t>(source, source + sourceSize)) {
            fail("a refused source was changed");
        }
    } else if (exists(destinationPath)) {
        fail("a refused source created the destination");
    }
    return 0;
}
