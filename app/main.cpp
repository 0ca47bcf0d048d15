#include "app/run.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    return tovrin::run({argv, static_cast<std::size_t>(argc)}, stdout);
}
