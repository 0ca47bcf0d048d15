# What `cmake --install` puts under the prefix: the tool, its manual page, the
# library with its headers, and a CMake package for find_package(tovrin).
#
# Headers go below include/tovrin, keeping their bitmap/ and gray/ folders, and
# that folder is what consumers get on their include path: they write the same
# lines as tovrin's own code (#include "gray/gray_convert.h"), whether they use
# the installed package or the tovrin::core alias of a source tree, and the
# headers' includes of each other resolve unchanged.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TOVRIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tovrin)

install(TARGETS tovrin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tovrin_core EXPORT tovrinTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tovrin
)
install(FILES docs/tovrin.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(EXPORT tovrinTargets NAMESPACE tovrin:: DESTINATION ${TOVRIN_CMAKE_DIR})
configure_package_config_file(cmake/tovrinConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/tovrinConfig.cmake
    INSTALL_DESTINATION ${TOVRIN_CMAKE_DIR}
)
# The library is static and built for one architecture, so the version file
# also refuses a consumer whose pointer size differs.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tovrinConfigVersion.cmake
    COMPATIBILITY SameMajorVersion
)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/tovrinConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/tovrinConfigVersion.cmake
    DESTINATION ${TOVRIN_CMAKE_DIR}
)
