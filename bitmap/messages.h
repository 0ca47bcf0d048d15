#pragma once

// The only texts tovrin prints. A failure is reported by throwing one of these
// pointers (`throw message::badImageFormat;`); the run driver's single handler
// catches `const char*` and prints the text it points to.

namespace tovrin::message {

inline constexpr const char* usage = "usage: tovrin.exe \"image1.bmp\" \"image2.bmp\" [/r]";
inline constexpr const char* cannotOpenFile = "Error: Cannot open file";
inline constexpr const char* badImageFormat = "Error: Bad image format";
inline constexpr const char* memoryAllocationFailed = "Error: Memory allocation failed";
inline constexpr const char* cannotCreateFile = "Error: Cannot create file";
inline constexpr const char* cannotWriteToFile = "Error: Cannot write to file";

}  // namespace tovrin::message
