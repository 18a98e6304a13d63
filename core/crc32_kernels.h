// The CRC-32 kernels behind Crc32Compute. Internal: the product calls only
// crc32.h; tests and benchmarks use this header to run each kernel.
//
// Every kernel works on the raw register: it takes the register before the
// bytes and returns the register after them, without the final complement,
// so that ~Crc32KernelUpdate(k, 0xFFFFFFFF, p, n) is the zip checksum of
// p[0..n) and a run may be split anywhere.
//
// Kernel 0 looks up one byte at a time, kernel 1 slices 16 bytes at a
// time; the kernels from 2 on use the instructions of the processor the
// build is for, from its own file: crc32_x86.cpp, crc32_arm.cpp, or
// crc32_plain.cpp where there are none.
#ifndef CORE_CRC32_KERNELS_H_
#define CORE_CRC32_KERNELS_H_

#include <cstddef>
#include <cstdint>

// The number of kernels, those this processor lacks included.
int Crc32KernelCount();

// A short lower-case name of `kernel` ("bytewise", "slicing", "pclmul",
// ...); "unknown" when `kernel` is out of range.
const char* Crc32KernelName(int kernel);

// 1 when `kernel` can run on this processor, 0 when it cannot or is out of
// range. Valid after Crc32InitTable.
int Crc32KernelSupported(int kernel);

// The kernel that Crc32InitTable chose for Crc32Compute.
int Crc32ActiveKernel();

// Runs `kernel` over data[0..length) from the register `reg` and returns
// the register after it. Needs Crc32InitTable first and a supported
// kernel; an unsupported or unknown one returns `reg` unchanged.
uint32_t Crc32KernelUpdate(int kernel, uint32_t reg, const unsigned char* data,
                           size_t length);

// Between crc32.cpp and the processor's file. Each processor kernel takes
// any length at any alignment.
struct Crc32ProcessorKernel {
  const char* name;
  int (*available)();  // 1 when this processor has the instructions
  uint32_t (*update)(uint32_t reg, const unsigned char* data, size_t length);
};

// The processor's kernels, slowest first; their number in `count`.
const Crc32ProcessorKernel* Crc32ProcessorKernels(int* count);

// The slicing kernel, for the processor kernels' short inputs and ends.
uint32_t Crc32UpdateSlicing(uint32_t reg, const unsigned char* data,
                            size_t length);

// x^exponent mod P, in the ordinary bit order (the coefficient of x^e at
// bit e), for the constants of the multiplying kernels.
constexpr uint64_t Crc32PowerOfX(unsigned exponent) {
  uint64_t r = 1;
  for (unsigned i = 0; i < exponent; ++i) {
    r <<= 1;
    if (r >> 32) r ^= 0x104C11DB7ull;  // x^32 + x^26 + ... + 1
  }
  return r;
}

#endif  // CORE_CRC32_KERNELS_H_
