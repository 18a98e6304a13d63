// The probe for the baseline frame header: pictures from a real encoder,
// constructed byte strings, and the end of the data.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "imagetool/identify.h"
#include "tests/support/test_support.h"

namespace {

const uint16_t kUntouched = 0xBEEF;

struct ProbeResult {
  uint32_t count;
  uint32_t start;
  uint16_t height;
  uint16_t width;
};

// Probes a heap copy of exactly the bytes given, so that the address
// sanitizer catches any read past their end.
ProbeResult Probe(const std::string& bytes) {
  std::unique_ptr<unsigned char[]> data(new unsigned char[bytes.size()]);
  std::memcpy(data.get(), bytes.data(), bytes.size());
  ProbeResult result{0, static_cast<uint32_t>(bytes.size()), kUntouched,
                     kUntouched};
  result.count = FindJpegDimensions(data.get(), &result.start, &result.height,
                                    &result.width);
  return result;
}

// The bytes of a literal, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string Fixture(const std::string& name) {
  return testsupport::ReadFile(testsupport::FixturePath("jpeg/" + name));
}

void ExpectFound(const std::string& bytes, uint16_t width, uint16_t height) {
  ProbeResult result = Probe(bytes);
  EXPECT_EQ(result.count, bytes.size());  // the whole file is checksummed
  EXPECT_EQ(result.start, 0u);
  EXPECT_EQ(result.width, width);
  EXPECT_EQ(result.height, height);
}

void ExpectNotFound(const std::string& bytes) {
  ProbeResult result = Probe(bytes);
  EXPECT_EQ(result.count, 0u);
  EXPECT_EQ(result.start, bytes.size());
  EXPECT_EQ(result.height, kUntouched);
  EXPECT_EQ(result.width, kUntouched);
}

// A frame header's first nine bytes: marker, length 17, precision 8, then
// height and width, big-endian.
std::string FrameHeader(uint16_t height, uint16_t width) {
  std::string bytes("\xFF\xC0\x00\x11\x08", 5);
  for (uint16_t value : {height, width}) {
    bytes.push_back(static_cast<char>(value >> 8));
    bytes.push_back(static_cast<char>(value & 0xFF));
  }
  return bytes;
}

TEST(JpegProbeTest, PicturesFromARealEncoder) {
  ExpectFound(Fixture("baseline_64x48.jpg"), 64, 48);
  ExpectFound(Fixture("baseline_40x30.jpg"), 40, 30);
  // The Exif segment's thumbnail (16x12) comes before the main picture.
  ExpectFound(Fixture("thumbnail_64x48.jpg"), 16, 12);
  // A progressive picture has its own frame marker and no baseline one.
  std::string progressive = Fixture("progressive_40x30.jpg");
  ASSERT_NE(progressive.find("\xFF\xC2"), std::string::npos);
  ExpectNotFound(progressive);
}

TEST(JpegProbeTest, AnyDataHoldingThePairIsIdentified) {
  std::string notAPicture = "GIF89a, or so it says";
  ExpectFound(notAPicture + FrameHeader(0x0102, 0x0304) + "tail", 0x0304,
              0x0102);
  // The first pair wins, wherever it stands.
  ExpectFound("x" + FrameHeader(480, 640) + FrameHeader(12, 16), 640, 480);
  // An FF before the pair's FF does not hide it.
  ExpectFound("\xFF" + FrameHeader(30, 40), 40, 30);
}

TEST(JpegProbeTest, DataWithoutAWholePairIsNotIdentified) {
  const std::string full = "abc" + FrameHeader(0x1234, 0x5678);
  ExpectFound(full, 0x5678, 0x1234);
  // Seven bytes after the pair are needed; with fewer, nothing is read.
  for (size_t cut = 1; cut <= 7; ++cut) {
    SCOPED_TRACE(cut);
    ExpectNotFound(full.substr(0, full.size() - cut));
  }
  const std::string notFound[] = {
      // Other markers (here the progressive frame) are not the frame header.
      Bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF\xFF\xC2\x00\x11"
            "\x08\x00\x30\x00\x40\xC0\xFF\x00\xC0"),
      "",
      // A truncated first pair is not passed for a later one.
      "ab" + Bytes("\xFF\xC0\x00\x11\xFF\xC0\x08"),
      // An FF as the last byte is no pair.
      "\xFF", "picture\xFF", "picture\xC0\xFF",
  };
  for (const std::string& bytes : notFound) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    ExpectNotFound(bytes);
  }
}

}  // namespace
