// Writes the two benchmark sources into a folder: colour.bmp (24-bit) and
// palette.bmp (8-bit, 256 colours), both photo-like.
//
//   tovrin_make_bitmaps FOLDER [WIDTH HEIGHT]

#include "photo.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void putLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

bool writeBitmap(const std::string& path, std::int32_t width, std::int32_t height, int bitCount,
                 const std::vector<std::uint8_t>& palette, const std::vector<std::uint8_t>& rows) {
    std::vector<std::uint8_t> header(54 + palette.size(), 0);
    const auto offBits = static_cast<std::uint32_t>(header.size());
    header[0] = 'B';
    header[1] = 'M';
    putLe(header, 2, offBits + static_cast<std::uint32_t>(rows.size()), 4);
    putLe(header, 10, offBits, 4);
    putLe(header, 14, 40, 4);
    putLe(header, 18, static_cast<std::uint32_t>(width), 4);
    putLe(header, 22, static_cast<std::uint32_t>(height), 4);
    putLe(header, 26, 1, 2);
    putLe(header, 28, static_cast<std::uint32_t>(bitCount), 2);
    putLe(header, 34, static_cast<std::uint32_t>(rows.size()), 4);
    putLe(header, 38, 2835, 4);
    putLe(header, 42, 2835, 4);
    putLe(header, 46, static_cast<std::uint32_t>(palette.size() / 4), 4);
    std::copy(palette.begin(), palette.end(), header.begin() + 54);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                         std::fwrite(rows.data(), 1, rows.size(), file) == rows.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s FOLDER [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::int32_t width = argc == 4 ? std::atoi(argv[2]) : 6000;
    const std::int32_t height = argc == 4 ? std::atoi(argv[3]) : 4000;
    if (!writeBitmap(folder + "/colour.bmp", width, height, 24, {}, bench::colourRows(width, height)) ||
        !writeBitmap(folder + "/palette.bmp", width, height, 8, bench::paletteEntries(),
                     bench::indexRows(width, height))) {
        std::perror("writing the bitmaps");
        return 1;
    }
    return 0;
}
