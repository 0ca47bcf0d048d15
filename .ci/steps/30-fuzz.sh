#!/usr/bin/env bash
# One minute of tovrin_fuzz on a copy of the seed corpus, when clang is here.
# A crash, a sanitizer report, a leak, a failed check or a run over ten
# seconds fails CI; the input that did it is kept in build-fuzz-ci/.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/packages.sh

if ! command -v clang++ >/dev/null; then
    echo "no clang++: fuzzing skipped"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT
links_fuzzer() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
        clang++ -x c++ -fsanitize=fuzzer,address,undefined - -o "${work}/probe"
}
need "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev" links_fuzzer
install_missing

cmake -S . -B build-fuzz-ci -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOVRIN_FUZZ=ON -DTOVRIN_BUILD_TESTS=OFF -DTOVRIN_WARNINGS_AS_ERRORS=ON
cmake --build build-fuzz-ci -j2 --target tovrin_fuzz

rm -f "${work}/probe"
cp fuzz/corpus/* "${work}/"
./build-fuzz-ci/fuzz/tovrin_fuzz -max_total_time=60 -timeout=10 -print_final_stats=1 \
    -artifact_prefix=build-fuzz-ci/ "${work}"
