# Cross-compiles tovrin.exe for 64-bit Windows with mingw-w64 and runs the
# tests under wine:
#   cmake -S . -B build-windows --toolchain cmake/toolchains/mingw-w64-x86_64.cmake

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks.
set(TOVRIN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOVRIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOVRIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOVRIN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOVRIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime goes into the executables, so that they run on a
# bare Windows, or wine, without its DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(TOVRIN_WINE NAMES wine64 wine HINTS /usr/lib/wine
             DOC "Runs the Windows test executables on this host")
if(TOVRIN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVRIN_WINE})
endif()
