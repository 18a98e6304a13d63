# Cross-compiles for 64-bit ARM, to run under qemu-aarch64:
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-aarch64.cmake
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(SORTERS_CROSS_TRIPLE aarch64-linux-gnu)
set(SORTERS_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
