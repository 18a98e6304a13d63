// CRC-32 with the CRC32 instructions of ARMv8, which compute exactly the
// zip polynomial: one stream, and three streams side by side joined with
// the carry-less multiply PMULL. Each function is compiled for its own
// instructions, so that one binary runs on any ARMv8 and picks at run
// time what the processor reports.
//
// One CRC32X instruction waits for the one before it, so one stream runs
// at 8 bytes per its latency; three independent streams keep the unit
// busy. To join them, a register R is moved on over n bytes of zeros as
// R * x^(8n) mod P: PMULL of R (32 bits, reflected) by x^(8n - 33) mod P
// gives a 64-bit product that stands for R * x^(8n - 32), and one CRC32X
// of it from a zero register multiplies by the missing x^32 and reduces.
#include <arm_acle.h>
#include <arm_neon.h>

#include <iterator>

#include "core/crc32_kernels.h"

#if SORTERS_HAVE_GETAUXVAL
#include <sys/auxv.h>
#endif

namespace {

// Bytes per stream and block: long enough that joining costs little.
const size_t kStream = 1024;

// The 32-bit reflected form of x^exponent mod P: the coefficient of x^e at
// bit 31 - e.
constexpr uint32_t Reflected(unsigned exponent) {
  uint64_t value = Crc32PowerOfX(exponent);
  uint32_t out = 0;
  for (int e = 0; e < 32; ++e) {
    if ((value >> e) & 1u) out |= 1u << (31 - e);
  }
  return out;
}

constexpr uint32_t kOneStream = Reflected(8 * kStream - 33);
constexpr uint32_t kTwoStreams = Reflected(16 * kStream - 33);

uint64_t Load64Le(const unsigned char* p) {
  return uint64_t{p[0]} | uint64_t{p[1]} << 8 | uint64_t{p[2]} << 16 |
         uint64_t{p[3]} << 24 | uint64_t{p[4]} << 32 | uint64_t{p[5]} << 40 |
         uint64_t{p[6]} << 48 | uint64_t{p[7]} << 56;
}

#if SORTERS_HAVE_GETAUXVAL
int CrcAvailable() { return (getauxval(AT_HWCAP) & HWCAP_CRC32) != 0; }
int PmullAvailable() {
  return CrcAvailable() && (getauxval(AT_HWCAP) & HWCAP_PMULL) != 0;
}
#else
// Without a way to ask the processor, only the table kernels are safe.
int CrcAvailable() { return 0; }
int PmullAvailable() { return 0; }
#endif

__attribute__((target("+crc"))) uint32_t UpdateCrc(uint32_t reg, const unsigned char* data,
                                                   size_t length) {
  for (; length >= 8; length -= 8, data += 8) reg = __crc32d(reg, Load64Le(data));
  for (; length > 0; --length, ++data) reg = __crc32b(reg, *data);
  return reg;
}

// `reg` moved on over the bytes that `constant` was made for.
__attribute__((target("+crc+crypto"))) uint32_t MoveOn(uint32_t reg, uint32_t constant) {
  poly128_t product = vmull_p64(reg, constant);
  return __crc32d(0, vgetq_lane_u64(vreinterpretq_u64_p128(product), 0));
}

__attribute__((target("+crc+crypto"))) uint32_t UpdateThreeStreams(
    uint32_t reg, const unsigned char* data, size_t length) {
  for (; length >= 3 * kStream; length -= 3 * kStream, data += 3 * kStream) {
    // The later streams start from a zero register: a register is linear
    // in the bytes, so the three add up once moved into place.
    uint32_t first = reg, second = 0, third = 0;
    for (size_t i = 0; i < kStream; i += 8) {
      first = __crc32d(first, Load64Le(data + i));
      second = __crc32d(second, Load64Le(data + kStream + i));
      third = __crc32d(third, Load64Le(data + 2 * kStream + i));
    }
    reg = MoveOn(first, kTwoStreams) ^ MoveOn(second, kOneStream) ^ third;
  }
  return UpdateCrc(reg, data, length);
}

const Crc32ProcessorKernel kKernels[] = {
    {"armcrc", CrcAvailable, UpdateCrc},
    {"armcrc3", PmullAvailable, UpdateThreeStreams},
};

}  // namespace

const Crc32ProcessorKernel* Crc32ProcessorKernels(int* count) {
  *count = static_cast<int>(std::size(kKernels));
  return kKernels;
}
