// The CRC-32 kernels behind Crc32Compute. Internal: the product calls only
// crc32.h; tests and benchmarks use this header to run each kernel by name.
//
// Every kernel works on the raw register: it takes the register before the
// bytes and returns the register after them, without the final complement,
// so that ~Crc32KernelUpdate(k, 0xFFFFFFFF, p, n) is the zip checksum of
// p[0..n) and a run may be split anywhere.
#ifndef CORE_CRC32_KERNELS_H_
#define CORE_CRC32_KERNELS_H_

#include <cstddef>
#include <cstdint>

enum Crc32Kernel {
  CRC32_KERNEL_BYTEWISE = 0,  // one table look-up per byte
  CRC32_KERNEL_SLICING = 1,   // slicing-by-16, 16 look-ups per 16 bytes
  CRC32_KERNEL_PCLMUL = 2,    // x86 PCLMULQDQ folding, 128-bit lanes
  CRC32_KERNEL_VPCLMUL = 3,   // x86 AVX-512 VPCLMULQDQ folding
  CRC32_KERNEL_COUNT = 4
};

// A short lower-case name of `kernel` ("bytewise", "slicing", "pclmul",
// "vpclmul"); "unknown" when `kernel` is out of range.
const char* Crc32KernelName(int kernel);

// 1 when `kernel` can run on this processor, 0 when it cannot or is out of
// range. Valid after Crc32InitTable.
int Crc32KernelSupported(int kernel);

// The kernel that Crc32InitTable chose for Crc32Compute.
int Crc32ActiveKernel();

// Runs `kernel` over data[0..length) from the register `reg` and returns
// the register after it; short inputs and unaligned ends go through the
// slicing kernel exactly as in Crc32Compute. Needs Crc32InitTable first and
// a supported kernel; an unsupported or unknown one returns `reg` unchanged.
uint32_t Crc32KernelUpdate(int kernel, uint32_t reg, const unsigned char* data,
                           size_t length);

// Between crc32.cpp and crc32_x86.cpp only. The folding functions need
// `length` to be a multiple of 16 and at least 64; they read data[0..length)
// with unaligned loads. Off x86 they are never called and the probes say 0.
int Crc32PclmulAvailable();
int Crc32VpclmulAvailable();
uint32_t Crc32FoldPclmul(uint32_t reg, const unsigned char* data,
                         size_t length);
uint32_t Crc32FoldVpclmul(uint32_t reg, const unsigned char* data,
                          size_t length);

#endif  // CORE_CRC32_KERNELS_H_
