#include "core/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/test_support.h"

namespace {

const unsigned char* Bytes(const std::string& text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

class Crc32Test : public testing::Test {
 protected:
  void SetUp() override { Crc32InitTable(); }
};

TEST_F(Crc32Test, MatchesPublishedCheckValues) {
  EXPECT_EQ(Crc32Compute(Bytes("abc"), 3, 0, 0), 0x352441C2u);
  EXPECT_EQ(Crc32Compute(Bytes("123456789"), 9, 0, 0), 0xCBF43926u);
}

TEST_F(Crc32Test, EmptyRangeGivesZero) {
  EXPECT_EQ(Crc32Compute(Bytes("abc"), 0, 0, 0), 0u);
  EXPECT_EQ(Crc32Compute(Bytes("abc"), 0, 3, 0), 0u);
}

TEST_F(Crc32Test, RangeWhoseEndWrapsSelectsNothing) {
  // A 100-byte image minus a 128-byte header: start 128, count T - 128.
  std::string image(100, 'x');
  EXPECT_EQ(Crc32Compute(Bytes(image), 100u - 128u, 128, 0), 0u);
}

TEST_F(Crc32Test, AgreesWithZlibOnRandomBuffersAtRandomOffsets) {
  std::mt19937 generator(12345);
  for (int round = 0; round < 200; ++round) {
    size_t size = generator() % 5000 + 1;
    std::string buffer = testsupport::RandomBytes(size, generator());
    uint32_t offset = generator() % size;
    uint32_t length = generator() % (size - offset + 1);
    EXPECT_EQ(Crc32Compute(Bytes(buffer), length, offset, 0),
              testsupport::ReferenceCrc(buffer.substr(offset, length)))
        << "size " << size << " offset " << offset << " length " << length;
  }
}

}  // namespace
