// The table-driven kernels and the choice of kernel for Crc32Compute. The
// carry-less-multiply kernels live in crc32_x86.cpp; they only handle the
// aligned middle of long inputs, so the table kernels here take short
// inputs and the ragged ends.
#include "core/crc32.h"

#include <cstddef>
#include <cstdint>

#include "core/crc32_kernels.h"

namespace {

// g_tables[0] is the classic byte table. g_tables[k][n] is the register
// change caused by byte n followed by k zero bytes, which lets the slicing
// kernel look up 16 bytes at once and combine them with XOR.
uint32_t g_tables[16][256];

int g_active = CRC32_KERNEL_BYTEWISE;
int g_supported[CRC32_KERNEL_COUNT] = {1, 1, 0, 0};

// The folding functions want whole 16-byte lanes, at least four of them.
// The lanes start on a 16-byte boundary: measured here, the wide loads run
// as fast unaligned, so a larger alignment would only make the slower head
// longer.
const size_t kFoldAlignment = 16;
const size_t kFoldMinimum = 64;

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

uint32_t UpdateSlicing(uint32_t reg, const unsigned char* data,
                       size_t length) {
  while (length >= 16) {
    reg = SliceBlock(reg, data);
    data += 16;
    length -= 16;
  }
  return SliceShort(reg, data, length);
}

typedef uint32_t (*FoldFunction)(uint32_t, const unsigned char*, size_t);

// Slicing up to a 16-byte boundary, folding over the 16-byte blocks after
// it, slicing over the rest. Inputs that leave fewer than four lanes after
// the head are sliced whole; from four lanes on, folding measured faster
// than slicing here even with both ends sliced.
uint32_t UpdateFolded(uint32_t reg, const unsigned char* data, size_t length,
                      FoldFunction fold) {
  const uintptr_t address = reinterpret_cast<uintptr_t>(data);
  const size_t head = (kFoldAlignment - address % kFoldAlignment) %
                      kFoldAlignment;
  if (length < head || length - head < kFoldMinimum) {
    return UpdateSlicing(reg, data, length);
  }
  reg = UpdateSlicing(reg, data, head);
  data += head;
  length -= head;
  const size_t middle = length & ~(kFoldAlignment - 1);
  reg = fold(reg, data, middle);
  return UpdateSlicing(reg, data + middle, length - middle);
}

}  // namespace

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
  g_supported[CRC32_KERNEL_PCLMUL] = Crc32PclmulAvailable();
  g_supported[CRC32_KERNEL_VPCLMUL] = Crc32VpclmulAvailable();
  g_active = CRC32_KERNEL_SLICING;
  if (g_supported[CRC32_KERNEL_PCLMUL]) g_active = CRC32_KERNEL_PCLMUL;
  if (g_supported[CRC32_KERNEL_VPCLMUL]) g_active = CRC32_KERNEL_VPCLMUL;
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

const char* Crc32KernelName(int kernel) {
  static const char* const kNames[CRC32_KERNEL_COUNT] = {
      "bytewise", "slicing", "pclmul", "vpclmul"};
  if (kernel < 0 || kernel >= CRC32_KERNEL_COUNT) return "unknown";
  return kNames[kernel];
}

int Crc32KernelSupported(int kernel) {
  if (kernel < 0 || kernel >= CRC32_KERNEL_COUNT) return 0;
  return g_supported[kernel];
}

int Crc32ActiveKernel() { return g_active; }

uint32_t Crc32KernelUpdate(int kernel, uint32_t reg, const unsigned char* data,
                           size_t length) {
  if (!Crc32KernelSupported(kernel)) return reg;
  switch (kernel) {
    case CRC32_KERNEL_BYTEWISE:
      return UpdateBytewise(reg, data, length);
    case CRC32_KERNEL_SLICING:
      return UpdateSlicing(reg, data, length);
    case CRC32_KERNEL_PCLMUL:
      return UpdateFolded(reg, data, length, Crc32FoldPclmul);
    default:
      return UpdateFolded(reg, data, length, Crc32FoldVpclmul);
  }
}
