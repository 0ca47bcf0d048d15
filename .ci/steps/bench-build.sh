#!/usr/bin/env bash
# Keeps the benchmarks compiling; timings are taken by hand (README, Performance).
set -euo pipefail
cmake -S . -B build-bench -DTOVRIN_BUILD_BENCH=ON -DTOVRIN_BUILD_TESTS=OFF -DTOVRIN_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build-bench -j2 --target tovrin tovrin_kernels_bench tovrin_floor tovrin_make_bitmaps
python3 -c "import ast; ast.parse(open('bench/compare.py').read())"
