#pragma once

#include <cstdio>
#include <span>

namespace tovrin {

// One whole run of the tool on an argument vector (program name first).
// Prints at most one line on `messages` and returns 0 on success, -1 otherwise.
int run(std::span<const char* const> arguments, std::FILE* messages);

}  // namespace tovrin
