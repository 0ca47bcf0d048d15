#!/usr/bin/env bash
# Cross-builds tovrin.exe with mingw-w64 and runs the whole suite under wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/packages.sh
started=$SECONDS

need g++-mingw-w64-x86-64 command -v x86_64-w64-mingw32-g++-posix
need wine64 test -x /usr/lib/wine/wine64
need googletest test -f /usr/src/googletest/CMakeLists.txt
install_missing

# A throwaway prefix, no debug chatter, and no offer to fetch Mono or Gecko.
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=/usr/lib/wine/wineserver64
stop_wine() {
    "$wineserver" -k >/dev/null 2>&1 || true
    "$wineserver" -w >/dev/null 2>&1 || true  # gone before its prefix is
    rm -rf "$WINEPREFIX"
}
trap stop_wine EXIT
# One server for the whole suite instead of one per test. It and the services
# wineboot starts outlive this script's commands: they must not hold its output open.
"$wineserver" -p </dev/null >/dev/null 2>&1
/usr/lib/wine/wine64 wineboot --init </dev/null >/dev/null 2>&1

cross_suite build-windows mingw-w64-x86_64
echo "windows step: $((SECONDS - started)) s"
