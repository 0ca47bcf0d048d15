#include "app/run.h"

#include "bitmap/bitmap_file.h"
#include "gray/gray_convert.h"

#include <cstring>
#include <new>

namespace tovrin {

namespace {

void convert(std::span<const char* const> arguments) {
    Stream source = openForReading(arguments[1]);
    if (!source) {
        throw message::cannotOpenFile;
    }
    const HeaderBlock header = readHeaderBlock(source.get());
    const char* destinationPath = arguments[2];
    // The switch is looked at only once the header has passed its checks, and
    // only an exact "/r" selects it; /R, -r and the like are ignored.
    if (arguments.size() == 4 && std::strcmp(arguments[3], "/r") == 0) {
        expandGrayPalette(source, header, destinationPath);
    } else if (header.biBitCount == 8) {
        remapPalette(source, header, destinationPath);
    } else if (header.biBitCount == 24) {
        reduceDirectColour(source, header, destinationPath);
    } else {
        throw message::badImageFormat;
    }
}

}  // namespace

int run(std::span<const char* const> arguments, std::FILE* messages) {
    if (arguments.size() != 3 && arguments.size() != 4) {
        std::fprintf(messages, "%s\n", message::usage);
        return -1;
    }
    // Streams and the pixel buffer belong to scope-bound owners inside
    // convert(): by the time a failure reaches this handler, the buffer has
    // been released and every stream of the run closed.
    try {
        convert(arguments);
    } catch (const char* text) {
        std::fprintf(messages, "%s\n", text);
        return -1;
    } catch (const std::bad_alloc&) {
        std::fprintf(messages, "%s\n", message::memoryAllocationFailed);
        return -1;
    }
    return 0;
}

}  // namespace tovrin
