#include "core/crc32.h"

namespace {

uint32_t g_table[256];

}  // namespace

void Crc32InitTable() {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t x = n;
    for (int bit = 0; bit < 8; ++bit) {
      x = (x & 1u) ? (x >> 1) ^ 0xEDB88320u : x >> 1;
    }
    g_table[n] = x;
  }
}

uint32_t Crc32Compute(const unsigned char* data, uint32_t length,
                      uint32_t offset, uint32_t seed) {
  uint32_t r = seed != 0 ? seed : 0xFFFFFFFFu;
  // The end is computed in 32 bits on purpose: a normalizer that subtracts
  // a header from a shorter image wraps around, and that must select
  // nothing rather than a huge range.
  uint32_t end = offset + length;
  for (uint32_t i = offset; i < end; ++i) {
    r = (r >> 8) ^ g_table[(data[i] ^ r) & 0xFFu];
  }
  return ~r;
}
