# Cross-compiles for big-endian 64-bit s390x Linux and runs the tests under
# qemu-user:
#   cmake -S . -B build-s390x --toolchain cmake/toolchains/s390x-linux-gnu.cmake

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(TOVRIN_S390X_PREFIX s390x-linux-gnu)
set(CMAKE_C_COMPILER ${TOVRIN_S390X_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TOVRIN_S390X_PREFIX}-g++)

set(TOVRIN_S390X_SYSROOT /usr/${TOVRIN_S390X_PREFIX})
set(CMAKE_FIND_ROOT_PATH ${TOVRIN_S390X_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -L points qemu at the target's dynamic loader and libraries.
find_program(TOVRIN_QEMU NAMES qemu-s390x qemu-s390x-static
             DOC "Runs the s390x test executables on this host")
if(TOVRIN_QEMU)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TOVRIN_QEMU} -L ${TOVRIN_S390X_SYSROOT})
endif()
