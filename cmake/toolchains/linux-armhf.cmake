# Cross-compiles for 32-bit ARM with hardware floating point, to run under qemu-arm:
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/linux-armhf.cmake
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(SORTERS_CROSS_TRIPLE arm-linux-gnueabihf)
set(SORTERS_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
