#!/usr/bin/env bash
# The whole test suite, tool included, under AddressSanitizer and
# UndefinedBehaviorSanitizer; any report fails the run. Tests that need an
# address-space limit skip themselves: the sanitizers reserve terabytes.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/packages.sh

sanitizers="-fsanitize=address,undefined -fno-sanitize-recover=all"
probe=$(mktemp -d)
trap 'rm -rf "${probe}"' EXIT
links_sanitized() {
    echo 'int main() { return 0; }' | g++ -x c++ ${sanitizers} - -o "${probe}/probe"
}
# The sanitizer runtimes come with the compiler's support library.
need "libgcc-$(g++ -dumpversion | cut -d. -f1)-dev" links_sanitized
install_missing

cmake -S . -B build-sanitized -DCMAKE_CXX_COMPILER=g++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOVRIN_WARNINGS_AS_ERRORS=ON \
    -DCMAKE_CXX_FLAGS="${sanitizers} -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="${sanitizers}"
cmake --build build-sanitized -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitized --output-on-failure
