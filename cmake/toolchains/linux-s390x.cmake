# Cross-compiles for IBM Z, a big-endian processor, to run under qemu-s390x:
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-s390x.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(SORTERS_CROSS_TRIPLE s390x-linux-gnu)
set(SORTERS_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
