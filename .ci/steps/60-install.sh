#!/usr/bin/env bash
# Install into a temporary prefix: the expected files and nothing else, a
# working tool, a manual page that renders cleanly, and a CMake package that
# another project finds and links.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/install_checks.sh

# All that this step and the package step need, installed at most once.
ensure_commands man-db:man groff-base:groff dpkg-dev:dpkg-shlibdeps file:file

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
rm -rf "$PACKAGE_BUILD"
build_package_tree
prefix=$WORK/prefix
cmake --install "$PACKAGE_BUILD" --prefix "$prefix" >/dev/null

check_files "$prefix" \
    bin/tovrin \
    share/man/man1/tovrin.1 \
    include/tovrin/bitmap/bitmap_file.h \
    include/tovrin/bitmap/messages.h \
    include/tovrin/bitmap/pixel_buffer.h \
    include/tovrin/gray/gray_convert.h \
    include/tovrin/gray/gray_kernels.h \
    lib/libtovrin_core.a \
    lib/cmake/tovrin/tovrinConfig.cmake \
    lib/cmake/tovrin/tovrinConfigVersion.cmake \
    lib/cmake/tovrin/tovrinTargets.cmake \
    lib/cmake/tovrin/tovrinTargets-release.cmake
check_tool "$prefix/bin/tovrin"
check_man_page "$prefix/share/man/man1/tovrin.1"
check_consumer -DCMAKE_PREFIX_PATH="$prefix"

# The package warns a consumer whose flags would spoil the inline luminance.
configured=$(cmake -S "$WORK/consumer" -B "$WORK/fast-math" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_FLAGS=-ffast-math 2>&1)
grep -q "asks for fast math" <<<"$configured" || fail "find_package(tovrin) does not warn about -ffast-math"

# The same project with tovrin added as a subdirectory instead.
check_consumer -DTOVRIN_SOURCE_DIR="$PWD"

echo "install step: ${SECONDS}s"
