#!/usr/bin/env bash
# Build the Debian package and check its files and its control fields; then
# unpack it and use what it holds: the tool, the manual page, the CMake package.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/install_checks.sh

ensure_commands man-db:man groff-base:groff dpkg-dev:dpkg-shlibdeps file:file binutils:objdump

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
build_package_tree
rm -f "$PACKAGE_BUILD"/tovrin_*.deb
(cd "$PACKAGE_BUILD" && cpack -G DEB >/dev/null)
architecture=$(dpkg --print-architecture)
deb=$PACKAGE_BUILD/tovrin_1.0.0_$architecture.deb
[ -f "$deb" ] || fail "no $deb; made: $(ls "$PACKAGE_BUILD"/*.deb 2>/dev/null)"

echo "dpkg-deb -c $deb"
dpkg-deb -c "$deb" | tee "$WORK/listing"
listed=$(awk '/^-/ { print $6 }' "$WORK/listing" | sort)
want=$(printf '%s\n' \
    ./usr/bin/tovrin \
    ./usr/share/man/man1/tovrin.1.gz \
    ./usr/include/tovrin/bitmap/bitmap_file.h \
    ./usr/include/tovrin/bitmap/messages.h \
    ./usr/include/tovrin/bitmap/pixel_buffer.h \
    ./usr/include/tovrin/gray/gray_convert.h \
    ./usr/include/tovrin/gray/gray_kernels.h \
    ./usr/lib/libtovrin_core.a \
    ./usr/lib/cmake/tovrin/tovrinConfig.cmake \
    ./usr/lib/cmake/tovrin/tovrinConfigVersion.cmake \
    ./usr/lib/cmake/tovrin/tovrinTargets.cmake \
    ./usr/lib/cmake/tovrin/tovrinTargets-release.cmake | sort)
[ "$listed" = "$want" ] || fail "the package's files differ:
$(diff <(echo "$want") <(echo "$listed"))"
grep -E '^-rwxr-xr-x root/root .* \./usr/bin/tovrin$' "$WORK/listing" >/dev/null ||
    fail "usr/bin/tovrin is not an executable owned by root"

dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tovrin ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.0.0 ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$architecture" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# Every shared library the tool needs must come with a package it depends on.
needed=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/tovrin > "$WORK/tovrin-needed" &&
    objdump -p "$WORK/tovrin-needed" | awk '/NEEDED/ { print $2 }')
grep -q '^libc\.so' <<<"$needed" || fail "the tool needs no C library? $needed"
for library in $needed; do
    case "$library" in
        libc.so.* | libm.so.* | ld-linux*.so.*) package=libc6 ;;
        libstdc++.so.*) package=libstdc++6 ;;
        libgcc_s.so.*) package=libgcc-s1 ;;
        *) fail "unexpected shared library $library" ;;
    esac
    grep -qw -- "$package" <<<"$(field Depends)" || fail "Depends lacks $package for $library: $(field Depends)"
done

root=$WORK/root
dpkg-deb -x "$deb" "$root"
file "$root/usr/bin/tovrin" | grep -q ', stripped' || fail "usr/bin/tovrin is not stripped"
check_tool "$root/usr/bin/tovrin"
check_man_page "$root/usr/share/man/man1/tovrin.1.gz"
check_consumer -DCMAKE_PREFIX_PATH="$root/usr"

echo "package step: ${SECONDS}s"
