# Helpers of the install and package steps; sourced by them, not a step itself.
source .ci/packages.sh

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# ensure_commands PACKAGE:COMMAND... installs the packages whose command is missing.
ensure_commands() {
    local pair
    for pair in "$@"; do
        need "${pair%%:*}" command -v "${pair#*:}"
    done
    install_missing
}

# The configured, built tree that both steps install from.
PACKAGE_BUILD=build-package

build_package_tree() {
    cmake -S . -B "$PACKAGE_BUILD" -DTOVRIN_BUILD_TESTS=OFF -DTOVRIN_WARNINGS_AS_ERRORS=ON \
        -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
    cmake --build "$PACKAGE_BUILD" -j2 >/dev/null
}

# check_files ROOT EXPECTED...: the regular files below ROOT are exactly EXPECTED.
check_files() {
    local root=$1
    shift
    local want have
    want=$(printf '%s\n' "$@" | sort)
    have=$(cd "$root" && find . -type f | sed 's|^\./||' | sort)
    [ "$have" = "$want" ] || fail "files below $root differ:
$(diff <(echo "$want") <(echo "$have"))"
}

# check_man_page PAGE (plain or gzipped): renders without a warning and names
# every message the tool can print.
check_man_page() {
    local page=$1 warnings text message messages=()
    warnings=$(gzip -dcf "$page" | groff -man -ww -z 2>&1) || fail "groff failed on $page"
    [ -z "$warnings" ] || fail "groff warns on $page: $warnings"
    text=$(MANWIDTH=80 man -l "$page" 2>"$WORK/man.err") || fail "man -l $page failed"
    [ ! -s "$WORK/man.err" ] || fail "man -l $page warns: $(cat "$WORK/man.err")"
    mapfile -t messages < <(sed -n 's/^inline constexpr const char\* [A-Za-z]* = "\(.*\)";$/\1/p' \
                            bitmap/messages.h | sed 's/\\"/"/g')
    [ ${#messages[@]} -ge 6 ] || fail "found only ${#messages[@]} messages in bitmap/messages.h"
    for message in "${messages[@]}"; do
        grep -qF -- "$message" <<<"$text" || fail "$page does not name the message: $message"
    done
}

# check_tool TOVRIN: the installed tool runs, refuses a bad call and converts the sample.
check_tool() {
    local tovrin=$1 output status=0
    output=$("$tovrin" 2>&1) || status=$?
    [ "$status" = 255 ] && [ "$output" = 'usage: tovrin.exe "image1.bmp" "image2.bmp" [/r]' ] ||
        fail "$tovrin without arguments: status $status, output '$output'"
    "$tovrin" examples/sample.bmp "$WORK/gray.bmp" || fail "$tovrin cannot convert the sample"
    "$tovrin" "$WORK/gray.bmp" "$WORK/view.bmp" /r || fail "$tovrin cannot expand the sample"
    # 61 pixels a row are 64 bytes; 41 rows behind 58 or 1078 header bytes.
    [ "$(stat -c %s "$WORK/gray.bmp")" = $((58 + 64 * 41)) ] || fail "wrong size of the gray sample"
    [ "$(stat -c %s "$WORK/view.bmp")" = $((1078 + 64 * 41)) ] || fail "wrong size of the expanded sample"
}

# check_consumer CMAKE-ARGUMENTS...: builds tests/consumer, as a project of its
# own, with -DCMAKE_PREFIX_PATH=<prefix> (the installed package) or
# -DTOVRIN_SOURCE_DIR=<tree> (add_subdirectory), and runs it.
check_consumer() {
    local flags=-O2 build=$WORK/consumer-build
    # With FMA instructions at hand, a consumer that did not get tovrin::core's
    # -ffp-contract=off would compute a wrong gray level and fail.
    if [ "$(uname -m)" = x86_64 ] && grep -qw fma /proc/cpuinfo; then
        flags="$flags -mfma"
    fi
    rm -rf "$WORK/consumer" "$build"
    cp -r tests/consumer "$WORK/consumer"
    cmake -S "$WORK/consumer" -B "$build" "$@" -DCMAKE_CXX_FLAGS="$flags" >/dev/null ||
        fail "the consumer cannot find tovrin with $*"
    cmake --build "$build" -j2 >/dev/null || fail "the consumer does not build with $*"
    "$build/tovrin_consumer" || fail "the consumer gets wrong values with $*"
}
