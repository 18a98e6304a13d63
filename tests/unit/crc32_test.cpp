// Every CRC-32 kernel against zlib and against published check values,
// over every short length at every alignment and over large buffers.
#include <gtest/gtest.h>
#include <zlib.h>

#include "core/crc32.h"
#include "core/crc32_kernels.h"
#include "tests/support/support.h"

namespace {

uint32_t Zlib(uint32_t crc, const std::string& bytes, size_t offset, size_t length) {
  return static_cast<uint32_t>(
      crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()) + offset,
            static_cast<uInt>(length)));
}

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

TEST(Crc32Test, PublishedCheckValuesAndRanges) {
  Crc32InitTable();
  const std::pair<std::string, uint32_t> checks[] = {
      {"123456789", 0xCBF43926u}, {"abc", 0x352441C2u}, {"a", 0xE8B7BE43u},
      {"", 0}, {std::string(32, '\0'), 0x190A55ADu},
      {std::string(32, '\xFF'), 0xFF6CAB0Bu}};
  for (const auto& check : checks) {
    EXPECT_EQ(Crc32Compute(Bytes(check.first), uint32_t(check.first.size()), 0, 0),
              check.second) << check.first;
  }
  const std::string padded = "xx123456789";
  EXPECT_EQ(Crc32Compute(Bytes(padded), 9, 2, 0), 0xCBF43926u);
  // A start and count whose 32-bit sum wraps select nothing.
  EXPECT_EQ(Crc32Compute(Bytes(padded), 0xFFFFFFF0u, 16, 0), 0u);
  // A seed is the raw register, so all ones gives the plain checksum.
  EXPECT_EQ(Crc32Compute(Bytes(padded), 9, 2, 0xFFFFFFFFu), 0xCBF43926u);
  EXPECT_EQ(Crc32Compute(Bytes(padded), 9, 2, 0x12345678u),
            Zlib(~0x12345678u, padded, 2, 9));
}

TEST(Crc32Test, EveryKernelAgreesWithZlib) {
  Crc32InitTable();
  const std::string data = RandomBytes(4096 + 128, 7);
  const std::string large = RandomBytes((3u << 20) + 17, 8);
  for (int kernel = 0; kernel < CRC32_KERNEL_COUNT; ++kernel) {
    if (!Crc32KernelSupported(kernel)) continue;
    SCOPED_TRACE(Crc32KernelName(kernel));
    int failures = 0;
    for (size_t offset = 0; offset < 64 && failures < 5; ++offset) {
      uint32_t expected = Zlib(0, "", 0, 0);
      for (size_t length = 0; length <= 4096; ++length) {
        uint32_t got = ~Crc32KernelUpdate(kernel, ~0u, Bytes(data) + offset, length);
        if (got != expected && ++failures <= 5) {
          ADD_FAILURE() << "offset " << offset << " length " << length;
        }
        expected = Zlib(expected, data, offset + length, 1);
      }
    }
    for (size_t offset : {0, 3, 61}) {
      // A register carried in from zlib goes on to zlib's sum of the whole.
      uint32_t first = Zlib(0, large, 0, offset);
      EXPECT_EQ(~Crc32KernelUpdate(kernel, ~first, Bytes(large) + offset,
                                   large.size() - offset),
                Zlib(0, large, 0, large.size()));
    }
  }
}

}  // namespace
