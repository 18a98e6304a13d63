// Archives written by real archivers (scripts/make_zip_fixtures.sh): every
// entry is listed with the name, CRC-32 and sizes the archiver recorded,
// every member reads back as the content the script generated, and the
// archive comment is the one the script wrote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "romtool/zip_reader.h"
#include "tests/support/test_support.h"
#include "tests/zip/zip_test_helpers.h"

namespace {

using testsupport::ReferenceCrc;

// The members' contents, by the same rules as the script that made them.
std::string AlphaText() {
  std::string text;
  char line[64];
  for (int i = 0; i < 120; ++i) {
    std::snprintf(line, sizeof line, "Line %03d of the alpha member\n", i);
    text += line;
  }
  return text;
}

std::string BetaBytes() {
  std::string bytes;
  uint32_t x = 12345;
  for (int i = 0; i < 1500; ++i) {
    x = (x * 1103515245u + 12345u) & 0x7FFFFFFFu;
    bytes.push_back(static_cast<char>((x >> 16) & 0xFF));
  }
  return bytes;
}

std::string GammaBytes() {
  std::string bytes("NES\x1a\x01\x01", 6);
  bytes += std::string(10, '\0');
  for (int i = 0; i < 1024; ++i) bytes.push_back(static_cast<char>(i * 7 % 256));
  return bytes;
}

struct Fixture {
  const char* file;
  std::vector<uint16_t> methods;  // as each archiver chose
  uint16_t flagsMask;             // bits every entry must carry
  std::string comment;
};

TEST(ZipFixtureTest, ReadsArchivesMadeByRealArchivers) {
  const std::vector<std::string> names = {"alpha.txt", "beta.bin",
                                          "sub/gamma.nes"};
  const std::vector<std::string> contents = {AlphaText(), BetaBytes(),
                                             GammaBytes()};
  const Fixture fixtures[] = {
      {"infozip-stored.zip", {0, 0, 0}, 0, ""},
      {"infozip-deflated.zip", {8, 0, 8}, 0, ""},
      {"7zip-deflated.zip", {8, 0, 8}, 0, ""},
      {"python-comment.zip", {8, 8, 8}, 0,
       "Made by Python's zipfile, with an archive comment."},
      {"python-descriptor.zip", {8, 0, 8}, 0x0008, ""},
  };
  for (const Fixture& fixture : fixtures) {
    std::string path =
        testsupport::FixturePath(std::string("zip/") + fixture.file);
    std::string output;
    ziptest::OpenArchive archive = ziptest::OpenCapturing(path, &output);
    ASSERT_NE(archive, nullptr) << output;
    ASSERT_EQ(archive->archiveCommentLength, fixture.comment.size());
    EXPECT_EQ(archive->endRecordLength, 22 + fixture.comment.size());
    const char* comment =
        reinterpret_cast<const char*>(archive->archiveComment);
    EXPECT_EQ(std::string(comment, fixture.comment.size()), fixture.comment);
    FileBuffer buffer;
    size_t index = 0;
    output = ziptest::CaptureOutput([&] {
      while (ZipEntry* entry = ZipNextEntry(archive.get())) {
        ASSERT_LT(index, names.size()) << fixture.file;
        const std::string& content = contents[index];
        EXPECT_EQ(entry->fileName, names[index]) << fixture.file;
        EXPECT_EQ(entry->method, fixture.methods[index]) << fixture.file;
        EXPECT_EQ(entry->bitFlags & fixture.flagsMask, fixture.flagsMask);
        EXPECT_EQ(entry->crc32, ReferenceCrc(content)) << fixture.file;
        EXPECT_EQ(entry->uncompressedSize, content.size()) << fixture.file;
        ASSERT_EQ(ZipReadEntry(archive.get(), entry, &buffer), 0)
            << fixture.file << " " << names[index];
        std::string read(reinterpret_cast<char*>(buffer.bytes.get()),
                         entry->uncompressedSize);
        EXPECT_EQ(ReferenceCrc(read), entry->crc32) << fixture.file;
        EXPECT_TRUE(read == content) << fixture.file << " " << names[index];
        ++index;
      }
    });
    EXPECT_EQ(index, names.size()) << fixture.file;
    EXPECT_EQ(output, "") << fixture.file;
  }
}

}  // namespace
