// Each CRC-32 kernel against zlib's crc32, over every small length at every
// alignment, over large buffers, and with a register carried in from an
// earlier part of the data. Kernels this processor lacks are skipped.
#include "core/crc32_kernels.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/crc32.h"
#include "tests/support/test_support.h"

namespace {

uint32_t Zlib(uint32_t crc, const unsigned char* data, size_t length) {
  return static_cast<uint32_t>(
      crc32(crc, data, static_cast<uInt>(length)));
}

std::vector<unsigned char> RandomVector(size_t length, uint32_t seed) {
  const std::string bytes = testsupport::RandomBytes(length, seed);
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

class Crc32KernelTest : public testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    Crc32InitTable();
    if (!Crc32KernelSupported(GetParam())) {
      GTEST_SKIP() << Crc32KernelName(GetParam())
                   << " is not supported on this processor";
    }
  }
  // The finished checksum of data[0..length) by the kernel under test.
  uint32_t Checksum(const unsigned char* data, size_t length) const {
    return ~Crc32KernelUpdate(GetParam(), 0xFFFFFFFFu, data, length);
  }
};

TEST_P(Crc32KernelTest, EveryLengthUpTo4KiBAtEveryAlignment) {
  const size_t kMaxLength = 4096;
  const std::vector<unsigned char> storage =
      RandomVector(kMaxLength + 2 * 64, 7);
  // A 64-byte aligned base, so that offsets 0..63 meet every alignment the
  // kernels care about.
  const uintptr_t address = reinterpret_cast<uintptr_t>(storage.data());
  const unsigned char* base = storage.data() + (64 - address % 64) % 64;
  int failures = 0;
  for (size_t offset = 0; offset < 64 && failures < 10; ++offset) {
    // zlib's sum of each next prefix, extended by one byte at a time.
    uint32_t expected = Zlib(0, nullptr, 0);
    for (size_t length = 0; length <= kMaxLength; ++length) {
      const uint32_t actual = Checksum(base + offset, length);
      if (actual != expected && ++failures <= 10) {
        ADD_FAILURE() << "offset " << offset << " length " << length
                      << ": " << testsupport::Hex8(actual) << " instead of "
                      << testsupport::Hex8(expected);
      }
      expected = Zlib(expected, base + offset + length, 1);
    }
  }
}

TEST_P(Crc32KernelTest, LargeBuffers) {
  std::mt19937 generator(2024);
  std::vector<size_t> sizes = {(1u << 20) + 17};
  for (int i = 0; i < 3; ++i) sizes.push_back(generator() % (8u << 20) + 1);
  for (size_t size : sizes) {
    // Exactly sized, so that a read past the end shows under ASan.
    const std::vector<unsigned char> data = RandomVector(size, generator());
    for (size_t offset : {size_t{0}, size_t{3}, size_t{61}}) {
      EXPECT_EQ(Checksum(data.data() + offset, size - offset),
                Zlib(0, data.data() + offset, size - offset))
          << "size " << size << " offset " << offset;
    }
  }
}

TEST_P(Crc32KernelTest, ReadsOnlyTheGivenRange) {
  // Each buffer is its own allocation of exactly `length` bytes, so ASan
  // reports any read before or after it.
  for (size_t length = 0; length <= 1100; ++length) {
    const std::vector<unsigned char> data = RandomVector(length, 99);
    ASSERT_EQ(Checksum(data.data(), length), Zlib(0, data.data(), length))
        << "length " << length;
  }
}

TEST_P(Crc32KernelTest, ContinuesFromACarriedRegister) {
  // The register left by zlib after a first part (the complement of its
  // result) must carry the kernel on to zlib's sum of the whole.
  const std::vector<unsigned char> data = RandomVector(300000, 5);
  std::mt19937 generator(77);
  for (int round = 0; round < 40; ++round) {
    const size_t split = generator() % data.size();
    const size_t end = split + generator() % (data.size() - split + 1);
    const uint32_t first = Zlib(0, data.data(), split);
    EXPECT_EQ(~Crc32KernelUpdate(GetParam(), ~first, data.data() + split,
                                 end - split),
              Zlib(0, data.data(), end))
        << "split " << split << " end " << end;
  }
}

std::string KernelTestName(const testing::TestParamInfo<int>& info) {
  return Crc32KernelName(info.param);
}

INSTANTIATE_TEST_SUITE_P(
    AllKernels, Crc32KernelTest,
    testing::Range(0, static_cast<int>(CRC32_KERNEL_COUNT)), KernelTestName);

TEST(Crc32DispatchTest, ComputeUsesTheFastestSupportedKernel) {
  Crc32InitTable();
  int best = CRC32_KERNEL_SLICING;
  for (int k : {CRC32_KERNEL_PCLMUL, CRC32_KERNEL_VPCLMUL}) {
    if (Crc32KernelSupported(k)) best = k;
  }
  EXPECT_EQ(Crc32ActiveKernel(), best);
}

TEST(Crc32DispatchTest, UnknownKernelLeavesTheRegister) {
  Crc32InitTable();
  const unsigned char bytes[4] = {1, 2, 3, 4};
  EXPECT_EQ(Crc32KernelUpdate(CRC32_KERNEL_COUNT, 0x1234u, bytes, 4), 0x1234u);
  EXPECT_EQ(Crc32KernelUpdate(-1, 0x1234u, bytes, 4), 0x1234u);
}

TEST(Crc32DispatchTest, RawSeedOnShortAndLongRangesMatchesZlibStartedThere) {
  // A raw register s is where zlib stands after it was handed ~s: the
  // all-ones register gives the plain checksum, and any other seed is not
  // inverted first, so a finished sum does not continue.
  Crc32InitTable();
  const std::vector<unsigned char> data = RandomVector(70000, 3);
  for (uint32_t seed : {0x1u, 0x12345678u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
    for (uint32_t offset : {0u, 5u, 64u}) {
      const uint32_t longest = static_cast<uint32_t>(data.size()) - offset - 9;
      for (uint32_t length : {3u, longest}) {
        EXPECT_EQ(Crc32Compute(data.data(), length, offset, seed),
                  Zlib(~seed, data.data() + offset, length))
            << "seed " << testsupport::Hex8(seed) << " offset " << offset
            << " length " << length;
      }
    }
  }
}

}  // namespace
