# Shared by the Linux cross-compiling toolchain files: include it after
# setting CMAKE_SYSTEM_PROCESSOR, SORTERS_CROSS_TRIPLE (such as
# aarch64-linux-gnu) and SORTERS_CROSS_QEMU (such as qemu-aarch64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${SORTERS_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${SORTERS_CROSS_TRIPLE}-g++)

# Headers and libraries come from the target's tree (dpkg's multiarch
# folders, or a zlib built for the target and named by ZLIB_ROOT),
# programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${SORTERS_CROSS_TRIPLE})
set(CMAKE_LIBRARY_ARCHITECTURE ${SORTERS_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Static programs run under qemu's user mode without the target's runtime
# installed beside them, also when a test starts them.
set(ZLIB_USE_STATIC_LIBS ON)
set(SORTERS_STATIC_EXPAT ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR ${SORTERS_CROSS_QEMU})
