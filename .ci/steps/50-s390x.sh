#!/usr/bin/env bash
# Cross-builds for big-endian s390x and runs the whole suite under qemu-user.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/packages.sh
started=$SECONDS

need g++-s390x-linux-gnu command -v s390x-linux-gnu-g++
need qemu-user command -v qemu-s390x
need googletest test -f /usr/src/googletest/CMakeLists.txt
install_missing

cross_suite build-s390x s390x-linux-gnu
s390x-linux-gnu-readelf -h build-s390x/tovrin | grep -E "Data|Machine"
echo "s390x step: $((SECONDS - started)) s"
