#pragma once

// Shared ground for the whole-program tests: a temporary folder per test, the
// message lines as the user sees them, and a model of the expected output.

#include "support/bitmap_fixture.h"
#include "support/tool_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fixture {

// The tool's messages, spelled out here rather than taken from its sources.
namespace text {
inline const std::string usage = "usage: tovrin.exe \"image1.bmp\" \"image2.bmp\" [/r]";
inline const std::string cannotOpen = "Error: Cannot open file";
inline const std::string badFormat = "Error: Bad image format";
inline const std::string noMemory = "Error: Memory allocation failed";
inline const std::string cannotCreate = "Error: Cannot create file";
inline const std::string cannotWrite = "Error: Cannot write to file";
}  // namespace text

// A message line as printed on the console.
inline std::string line(const std::string& message) {
#ifdef _WIN32
    return message + "\r\n";
#else
    return message + "\n";
#endif
}

// The gray levels by the written rule, as a user would compute them by hand.
std::uint8_t pixelGray(std::uint8_t blue, std::uint8_t green, std::uint8_t red);
std::uint8_t paletteGray(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

// What the default run must write for a well-formed 24-bit source with positive
// width and height: the gray rows packed over the colour rows, padding included.
Bytes expectedFromColour(const Bytes& source);

// The same for a well-formed 8-bit source at least 1078 bytes long.
Bytes expectedFromPalette(const Bytes& source);

class ToolTest : public ::testing::Test {
protected:
    std::string put(const std::string& name, const Bytes& bytes) const {
        const std::string path = dir.file(name);
        writeFile(path, bytes);
        return path;
    }
    std::string path(const std::string& name) const { return dir.file(name); }

    // Expects a failed run: exactly `message` on stdout, nothing on stderr, status 255.
    static void expectFailure(const RunResult& result, const std::string& message) {
        EXPECT_EQ(result.out, line(message));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 255);
    }
    static void expectSuccess(const RunResult& result) {
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.status, 0);
    }

    TempDir dir;
};

}  // namespace fixture
