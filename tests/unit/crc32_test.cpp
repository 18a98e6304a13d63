// Every CRC-32 kernel against zlib over every length up to 4 KiB at every
// alignment, over large buffers, and carrying on from a register zlib left.
#include <gtest/gtest.h>
#include <zlib.h>

#include "core/crc32.h"
#include "core/crc32_kernels.h"
#include "tests/support/support.h"

namespace {

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

uint32_t Zlib(uint32_t crc, const std::string& bytes, size_t offset, size_t length) {
  return uint32_t(crc32(crc, Bytes(bytes) + offset, uInt(length)));
}

TEST(Crc32Test, EveryKernelAgreesWithZlib) {
  Crc32InitTable();
  EXPECT_EQ(Crc32Compute(Bytes("xx123456789"), 9, 2, 0), 0xCBF43926u);  // the check value
  const std::string data = RandomBytes(4096 + 64, 7), large = RandomBytes((3u << 20) + 17, 8);
  // The table kernels run everywhere; numbers past the list name none.
  EXPECT_EQ(Crc32KernelSupported(0) + Crc32KernelSupported(-1) + Crc32KernelSupported(Crc32KernelCount()), 1);
  EXPECT_STREQ(Crc32KernelName(Crc32KernelCount()), "unknown");
  for (int kernel = 0; kernel < Crc32KernelCount(); ++kernel) {
    if (!Crc32KernelSupported(kernel)) continue;
    SCOPED_TRACE(Crc32KernelName(kernel));
    int failures = 0;
    for (size_t offset = 0; offset < 64 && failures < 5; ++offset) {
      uint32_t expected = 0;
      for (size_t length = 0; length <= 4096; ++length) {
        uint32_t got = ~Crc32KernelUpdate(kernel, ~0u, Bytes(data) + offset, length);
        if (got != expected && ++failures <= 5) ADD_FAILURE() << offset << " " << length;
        expected = Zlib(expected, data, offset + length, 1);
      }
    }
    for (size_t offset : {0, 3, 61}) {
      uint32_t first = Zlib(0, large, 0, offset);
      EXPECT_EQ(~Crc32KernelUpdate(kernel, ~first, Bytes(large) + offset, large.size() - offset),
                Zlib(0, large, 0, large.size()));
    }
  }
}

// Joining two pieces and taking a suffix off a whole, against zlib's own
// checksums of the pieces, at split points from nothing to everything.
TEST(Crc32Test, CombineJoinsAndSplitsAsZlibComputes) {
  Crc32InitTable();
  const std::string data = RandomBytes(70000, 9);
  const uint32_t whole = Zlib(0, data, 0, data.size());
  for (size_t split : {size_t{0}, size_t{1}, size_t{16}, size_t{512}, size_t{65537}, data.size()}) {
    uint32_t head = Zlib(0, data, 0, split), tail = Zlib(0, data, split, data.size() - split);
    EXPECT_EQ(Crc32Combine(head, tail, data.size() - split), whole) << split;
    EXPECT_EQ(Crc32Combine(head, whole, data.size() - split), tail) << split;
  }
}

}  // namespace
