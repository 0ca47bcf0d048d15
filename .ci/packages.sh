# Sourced by .ci/run and its steps: installs the Debian packages a build needs,
# and only those that are missing.

# apt-get update runs once a CI run, in whichever script installs first.
: "${TOVRIN_APT_STAMP:=$(mktemp -u)}"
export TOVRIN_APT_STAMP

missing=()
need() {  # need PACKAGE TEST-COMMAND...
    local package=$1
    shift
    "$@" >/dev/null 2>&1 || missing+=("$package")
}

install_missing() {
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing: ${missing[*]}"
        if [ ! -e "$TOVRIN_APT_STAMP" ]; then
            apt-get update -qq
            touch "$TOVRIN_APT_STAMP"
        fi
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
        missing=()
    fi
}

# cross_suite BUILD-DIR TOOLCHAIN: builds the tool and its tests with
# cmake/toolchains/TOOLCHAIN.cmake and runs the whole suite through the
# toolchain's emulator.
cross_suite() {
    cmake -S . -B "$1" --toolchain "cmake/toolchains/$2.cmake" -DTOVRIN_WARNINGS_AS_ERRORS=ON
    cmake --build "$1" -j2
    ctest --test-dir "$1" --output-on-failure
}
