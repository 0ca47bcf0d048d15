# `cpack -G DEB` in a build folder makes tovrin_<version>_<arch>.deb holding
# everything `cmake --install` installs, below /usr.

set(CPACK_PACKAGE_NAME tovrin)
set(CPACK_PACKAGE_VENDOR "tovrin developers")
set(CPACK_PACKAGE_CONTACT "tovrin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a bitmap into an 8-bit gray bitmap, exactly")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "tovrin turns a Windows bitmap (24-bit colour or 8-bit palette) into an"
    "8-bit gray bitmap with a one-entry palette, and expands such a bitmap into"
    "one with a full gray palette. Every output byte is fixed, down to the"
    "rounding of the luminance."
    ""
    "The package also holds the conversion library, its headers and a CMake"
    "package for find_package(tovrin), which links it as tovrin::core.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
find_program(TOVRIN_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TOVRIN_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    # What dpkg-shlibdeps finds for a build with GCC 12 on Debian 12.
    if(TOVRIN_HAS_STATIC_RUNTIME)
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34)")
    else()
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 9)")
    endif()
endif()
# Debian keeps manual pages compressed.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_man_pages.cmake)

include(CPack)
