#include "romtool/normalizers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

struct TypeCase {
  const char* text;
  int type;
  const char* lowered;
};

TEST(RomTypeFromExtensionTest, LowersInPlaceAndComparesWholeText) {
  const TypeCase cases[] = {
      {".SMD", ROMTYPE_SMD, ".smd"},  {"*.nes", ROMTYPE_NES, "*.nes"},
      {"nes", ROMTYPE_NES, "nes"},    {".NeS", ROMTYPE_NES, ".nes"},
      {".LYX", ROMTYPE_LYNX, ".lyx"}, {".lnx", ROMTYPE_LYNX, ".lnx"},
      {".A78", ROMTYPE_A78, ".a78"},  {".Swc", ROMTYPE_SNES_COPIER, ".swc"},
      {".FIG", ROMTYPE_SNES_COPIER, ".fig"},
      {".sfc", ROMTYPE_PLAIN, ".sfc"}, {".BIN", ROMTYPE_PLAIN, ".bin"},
      {".a26", ROMTYPE_PLAIN, ".a26"}, {".zip", ROMTYPE_PLAIN, ".zip"},
      {".", ROMTYPE_PLAIN, "."},       {"", ROMTYPE_PLAIN, ""},
      {".a7", ROMTYPE_PLAIN, ".a7"},   {".a788", ROMTYPE_PLAIN, ".a788"},
      {".ne", ROMTYPE_PLAIN, ".ne"},   {".smd ", ROMTYPE_PLAIN, ".smd "},
      {".\xC9S", ROMTYPE_PLAIN, ".\xC9s"},  // only ASCII letters are lowered
  };
  for (const TypeCase& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(RomTypeFromExtension(&text[0]), c.type) << c.text;
    EXPECT_EQ(text, c.lowered);
  }
}

struct Range {
  uint32_t start;
  uint32_t count;
  bool operator==(const Range& other) const {
    return start == other.start && count == other.count;
  }
};

std::ostream& operator<<(std::ostream& out, const Range& range) {
  return out << "start " << range.start << " count " << range.count;
}

Range Normalize(int type, std::string* image) {
  uint32_t length = static_cast<uint32_t>(image->size());
  unsigned char* bytes = reinterpret_cast<unsigned char*>(&(*image)[0]);
  uint32_t count = kHeaderNormalizers[type](bytes, &length);
  return Range{length, count};
}

struct RangeCase {
  int type;
  uint32_t size;
  Range expected;
};

TEST(HeaderNormalizerTest, FixedRulesSelectTheirRanges) {
  const RangeCase cases[] = {
      {ROMTYPE_NONE, 1000, {1000, 0}},
      {ROMTYPE_PLAIN, 1000, {0, 1000}},
      {5, 1000, {0, 1000}},
      {ROMTYPE_A78, 1000, {128, 872}},
      {ROMTYPE_A78, 128, {128, 0}},
      {ROMTYPE_A78, 100, {128, 100u - 128u}},  // wraps: selects nothing
      {ROMTYPE_NES, 16, {16, 0}},
      {ROMTYPE_NES, 40976, {16, 40960}},
      {ROMTYPE_SNES_COPIER, 1049088, {512, 1048576}},
      {ROMTYPE_SNES_COPIER, 1048576, {0, 1048576}},
      {ROMTYPE_SNES_COPIER, 1048600, {24, 0}},
      {ROMTYPE_SNES_COPIER, 512, {512, 0}},
      {ROMTYPE_SNES_COPIER, 0, {0, 0}},
  };
  for (const RangeCase& c : cases) {
    std::string image(c.size, '\x5A');
    EXPECT_EQ(Normalize(c.type, &image), c.expected)
        << "type " << c.type << " size " << c.size;
  }
}

std::string LynxImage(uint32_t size, unsigned char byte5) {
  std::string image(size, '\x11');
  if (size > 5) image[5] = static_cast<char>(byte5);
  return image;
}

TEST(HeaderNormalizerTest, LynxCountComesFromHeaderByteFive) {
  std::string image = LynxImage(64 + 131072, 2);
  EXPECT_EQ(Normalize(ROMTYPE_LYNX, &image), (Range{64, 131072}));
  image = LynxImage(64 + 131072 + 100, 2);  // trailing bytes are ignored
  EXPECT_EQ(Normalize(ROMTYPE_LYNX, &image), (Range{64, 131072}));
  image = LynxImage(1000, 0);
  EXPECT_EQ(Normalize(ROMTYPE_LYNX, &image), (Range{64, 0}));
}

TEST(HeaderNormalizerTest, LynxClaimingMoreThanTheImageIsNotIdentified) {
  for (uint32_t size : {0u, 5u, 6u, 63u, 64u, 64u + 131071u}) {
    std::string image = LynxImage(size, 2);
    EXPECT_EQ(Normalize(ROMTYPE_LYNX, &image).count, 0u) << "size " << size;
  }
}

// A Genesis copier image: signature in the header, `blocks` in byte 0.
std::string SmdImage(unsigned char blocks, uint32_t dataBytes) {
  std::string image = testsupport::RandomBytes(512 + dataBytes, 42);
  image[0] = static_cast<char>(blocks);
  image[1] = 0x03;
  image[8] = static_cast<char>(0xAA);
  image[9] = static_cast<char>(0xBB);
  return image;
}

TEST(HeaderNormalizerTest, SmdIsDeinterleavedByteByByte) {
  const std::string before = SmdImage(1, 16384);
  std::string image = before;
  EXPECT_EQ(Normalize(ROMTYPE_SMD, &image), (Range{512, 16384}));
  EXPECT_EQ(image.substr(0, 512), before.substr(0, 512));  // header kept
  EXPECT_EQ(image[512], before[8704]);
  EXPECT_EQ(image[513], before[512]);
  EXPECT_EQ(image[514], before[8705]);
  EXPECT_EQ(image[16895], before[8703]);
  for (uint32_t k = 0; k < 8192; ++k) {
    ASSERT_EQ(image[512 + 2 * k], before[512 + 8192 + k]);
    ASSERT_EQ(image[512 + 2 * k + 1], before[512 + k]);
  }
}

TEST(HeaderNormalizerTest, SmdConvertsOnlyCountedBlocks) {
  const std::string before = SmdImage(1, 2 * 16384 + 100);
  std::string image = before;
  EXPECT_EQ(Normalize(ROMTYPE_SMD, &image), (Range{512, 2 * 16384 + 100}));
  EXPECT_EQ(image.substr(512 + 16384), before.substr(512 + 16384));
  image = SmdImage(0, 16384);
  std::string untouched = image;
  EXPECT_EQ(Normalize(ROMTYPE_SMD, &image), (Range{512, 16384}));
  EXPECT_EQ(image, untouched);
}

TEST(HeaderNormalizerTest, SmdWithoutSignatureOrBlocksIsLeftAlone) {
  struct Damage {
    size_t offset;
    char value;
  };
  for (Damage damage : {Damage{9, '\xBC'}, Damage{8, '\x00'}, Damage{1, 4}}) {
    std::string image = SmdImage(1, 16384);
    image[damage.offset] = damage.value;
    const std::string before = image;
    EXPECT_EQ(Normalize(ROMTYPE_SMD, &image), (Range{512 + 16384, 0}));
    EXPECT_EQ(image, before);
  }
  // A block count larger than the image holds: refused, untouched.
  std::string image = SmdImage(3, 2 * 16384);
  const std::string before = image;
  EXPECT_EQ(Normalize(ROMTYPE_SMD, &image).count, 0u);
  EXPECT_EQ(image, before);
  for (uint32_t size : {0u, 9u}) {  // too short to hold the signature
    std::string tiny(size, '\0');
    EXPECT_EQ(Normalize(ROMTYPE_SMD, &tiny).count, 0u);
  }
}

}  // namespace
