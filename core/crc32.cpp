// The table-driven kernels and the choice of kernel for Crc32Compute. The
// kernels of processor instructions live in the processor's own file.
#include "core/crc32.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/crc32_kernels.h"

namespace {

// g_tables[0] is the classic byte table. g_tables[k][n] is the register
// change caused by byte n followed by k zero bytes, which lets the slicing
// kernel look up 16 bytes at once and combine them with XOR.
uint32_t g_tables[16][256];

const int kTableKernels = 2;  // bytewise and slicing
int g_active = 0;
const Crc32ProcessorKernel* g_processorKernels = nullptr;
int g_processorCount = 0;
const int kMostProcessorKernels = 6;
int g_supported[kTableKernels + kMostProcessorKernels] = {1, 1};  // by number

uint32_t Load32Le(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t UpdateBytewise(uint32_t reg, const unsigned char* data,
                        size_t length) {
  const uint32_t* table = g_tables[0];
  for (size_t i = 0; i < length; ++i) {
    reg = (reg >> 8) ^ table[(data[i] ^ reg) & 0xFFu];
  }
  return reg;
}

// The register change of the 4 bytes of `word` when `followedBy` more bytes
// come after them in the block: its first byte is followed by 3 more.
uint32_t SliceWord(uint32_t word, int followedBy) {
  return g_tables[followedBy + 3][word & 0xFFu] ^
         g_tables[followedBy + 2][(word >> 8) & 0xFFu] ^
         g_tables[followedBy + 1][(word >> 16) & 0xFFu] ^
         g_tables[followedBy][word >> 24];
}

// Only the first word depends on the incoming register; the other three
// are looked up independently of it and combined in a tree, so that each
// block waits on the one before for a short chain only.
uint32_t SliceBlock(uint32_t reg, const unsigned char* p) {
  const uint32_t rest = SliceWord(Load32Le(p + 4), 8) ^
                        (SliceWord(Load32Le(p + 8), 4) ^
                         SliceWord(Load32Le(p + 12), 0));
  return SliceWord(Load32Le(p) ^ reg, 12) ^ rest;
}

// The same for a block of `length` < 16 bytes. Any bytes of the register
// that the block is too short to consume are shifted on. One look-up per
// byte as in the byte loop, but all independent of one another: the byte
// loop's chain of dependent look-ups would make a short end cost as much as
// a hundred bytes of slicing.
uint32_t SliceShort(uint32_t reg, const unsigned char* p, size_t length) {
  uint32_t out = length < 4 ? reg >> (8 * length) : 0;
  for (size_t j = 0; j < length; ++j) {
    const uint32_t carried = j < 4 ? reg >> (8 * j) : 0;
    out ^= g_tables[length - 1 - j][(p[j] ^ carried) & 0xFFu];
  }
  return out;
}

}  // namespace

uint32_t Crc32UpdateSlicing(uint32_t reg, const unsigned char* data,
                            size_t length) {
  while (length >= 16) {
    reg = SliceBlock(reg, data);
    data += 16;
    length -= 16;
  }
  return SliceShort(reg, data, length);
}

void Crc32InitTable() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t x = n;
    for (int bit = 0; bit < 8; ++bit) {
      x = (x & 1u) ? (x >> 1) ^ 0xEDB88320u : x >> 1;
    }
    g_tables[0][n] = x;
  }
  for (int k = 1; k < 16; ++k) {
    for (int n = 0; n < 256; ++n) {
      const uint32_t previous = g_tables[k - 1][n];
      g_tables[k][n] = (previous >> 8) ^ g_tables[0][previous & 0xFFu];
    }
  }
  // The fastest kernel this processor supports: the processor's come
  // slowest first.
  g_processorKernels = Crc32ProcessorKernels(&g_processorCount);
  g_processorCount = std::min(g_processorCount, kMostProcessorKernels);
  g_active = 1;
  for (int i = 0; i < g_processorCount; ++i) {
    g_supported[kTableKernels + i] = g_processorKernels[i].available();
    if (g_supported[kTableKernels + i]) g_active = kTableKernels + i;
  }
}

uint32_t Crc32Compute(const unsigned char* data, uint32_t length,
                      uint32_t offset, uint32_t seed) {
  uint32_t r = seed != 0 ? seed : 0xFFFFFFFFu;
  // The end is computed in 32 bits on purpose: a normalizer that subtracts
  // a header from a shorter image wraps around, and that must select
  // nothing rather than a huge range.
  const uint32_t end = offset + length;
  if (end <= offset) return ~r;
  return ~Crc32KernelUpdate(g_active, r, data + offset, end - offset);
}

namespace {

// The product of `a` and `b`, polynomials over GF(2) in the reflected bit
// order of the checksum (x^0 in the top bit), reduced modulo its polynomial.
uint32_t MultiplyModPolynomial(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  for (uint32_t bit = 1u << 31; bit != 0; bit >>= 1) {
    if (a & bit) product ^= b;
    b = (b & 1u) != 0 ? (b >> 1) ^ 0xEDB88320u : b >> 1;
  }
  return product;
}

}  // namespace

uint32_t Crc32Combine(uint32_t first, uint32_t second, uint64_t secondLength) {
  // Appending n bytes multiplies the first register by x^(8n): square x^8
  // for each bit of n and multiply in the powers whose bits are set.
  uint32_t shift = 1u << 31;   // x^0
  uint32_t power = 1u << 23;   // x^8, one byte
  for (; secondLength != 0; secondLength >>= 1) {
    if (secondLength & 1u) shift = MultiplyModPolynomial(power, shift);
    power = MultiplyModPolynomial(power, power);
  }
  return MultiplyModPolynomial(shift, first) ^ second;
}

int Crc32KernelCount() { return kTableKernels + g_processorCount; }

const char* Crc32KernelName(int kernel) {
  if (kernel == 0) return "bytewise";
  if (kernel == 1) return "slicing";
  if (kernel < 0 || kernel >= Crc32KernelCount()) return "unknown";
  return g_processorKernels[kernel - kTableKernels].name;
}

int Crc32KernelSupported(int kernel) {
  return kernel >= 0 && kernel < Crc32KernelCount() ? g_supported[kernel] : 0;
}

int Crc32ActiveKernel() { return g_active; }

uint32_t Crc32KernelUpdate(int kernel, uint32_t reg, const unsigned char* data,
                           size_t length) {
  if (!Crc32KernelSupported(kernel)) return reg;
  if (kernel == 0) return UpdateBytewise(reg, data, length);
  if (kernel == 1) return Crc32UpdateSlicing(reg, data, length);
  return g_processorKernels[kernel - kTableKernels].update(reg, data, length);
}
