// Walking the central directory: entries decoded field by field, the walk
// bounded by the directory's size alone, and malformed entries reported.
// Extra fields and comments that run past the directory are cases of the
// malformed-archive corpus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "romtool/zip_reader.h"
#include "tests/support/test_support.h"
#include "tests/support/zip_builder.h"
#include "tests/zip/zip_test_helpers.h"

namespace {

using testsupport::ScopedTempDir;
using testsupport::WriteFile;
using zipbuilder::kCorruptText;
using zipbuilder::Report;
using ziptest::CaptureOutput;
using ziptest::OpenCapturing;

ziptest::OpenArchive OpenBuilt(const ScopedTempDir& temp,
                               const zipbuilder::Archive& built,
                               std::string* path) {
  *path = temp.Join("walk.zip");
  WriteFile(*path, zipbuilder::Build(built));
  std::string output;
  ziptest::OpenArchive archive = OpenCapturing(*path, &output);
  EXPECT_EQ(output, "");
  return archive;
}

// The names of the entries until the walk ends, with what the walk printed.
std::vector<std::string> WalkNames(ZipArchive* archive, std::string* output) {
  std::vector<std::string> names;
  *output = CaptureOutput([&] {
    while (ZipEntry* entry = ZipNextEntry(archive)) {
      names.push_back(entry->fileName);
    }
  });
  return names;
}

TEST(ZipWalkTest, DecodesEveryFieldOfEachEntry) {
  ScopedTempDir temp;
  zipbuilder::Archive built;
  zipbuilder::Member first = zipbuilder::DeflatedMember("dir/first.nes",
                                                        std::string(999, 'n'));
  first.bitFlags = 0x0809;
  first.extra = "xtra";
  first.entryComment = "a comment";
  built.members.push_back(first);
  zipbuilder::Member second = zipbuilder::StoredMember("second.bin", "abc");
  second.versionNeeded = 0x3F;
  second.systemNeeded = 3;
  second.diskStart = 0x1234;
  second.method = 0xBEEF;
  second.crc32 = 0x89ABCDEF;
  built.members.push_back(second);
  std::string path;
  ziptest::OpenArchive archive = OpenBuilt(temp, built, &path);
  ASSERT_NE(archive, nullptr);

  ZipEntry* entry = ZipNextEntry(archive.get());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry, &archive->current);
  EXPECT_EQ(entry->signature, 0x02014B50u);
  EXPECT_EQ(entry->versionMadeBy, 20);
  EXPECT_EQ(entry->hostSystem, 0);
  EXPECT_EQ(entry->versionNeeded, 20);
  EXPECT_EQ(entry->systemNeeded, 0);
  EXPECT_EQ(entry->bitFlags, 0x0809);
  EXPECT_EQ(entry->method, 8);
  EXPECT_EQ(entry->modTime, 0x6000);
  EXPECT_EQ(entry->modDate, 0x5A21);
  EXPECT_EQ(entry->crc32, testsupport::ReferenceCrc(std::string(999, 'n')));
  EXPECT_EQ(entry->compressedSize, first.data.size());
  EXPECT_EQ(entry->uncompressedSize, 999u);
  EXPECT_EQ(entry->fileNameLength, 13);
  EXPECT_EQ(entry->extraLength, 4);
  EXPECT_EQ(entry->fileCommentLength, 9);
  EXPECT_EQ(entry->diskStart, 0);
  EXPECT_EQ(entry->internalAttributes, 0);
  EXPECT_EQ(entry->externalAttributes, 0u);
  EXPECT_EQ(entry->localHeaderOffset, 0u);
  EXPECT_EQ(entry->fileName, "dir/first.nes");

  entry = ZipNextEntry(archive.get());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->versionNeeded, 0x3F);
  EXPECT_EQ(entry->systemNeeded, 3);
  EXPECT_EQ(entry->method, 0xBEEF);
  EXPECT_EQ(entry->crc32, 0x89ABCDEFu);
  EXPECT_EQ(entry->diskStart, 0x1234);
  EXPECT_EQ(entry->localHeaderOffset, 30 + 13 + 4 + first.data.size());
  EXPECT_EQ(entry->fileName, "second.bin");
  EXPECT_EQ(archive->centralDirPos, archive->centralDirSize);

  std::string output;
  EXPECT_EQ(WalkNames(archive.get(), &output).size(), 0u);
  EXPECT_EQ(WalkNames(archive.get(), &output).size(), 0u);
  EXPECT_EQ(output, "");
}

TEST(ZipWalkTest, CopiesNamesByteForByte) {
  ScopedTempDir temp;
  const std::vector<std::string> names = {
      "", std::string("nul\0inside", 10), "dir\\back/slash.a26",
      "\xFF\x80\x01 high", std::string(65535, 'L')};
  zipbuilder::Archive built;
  for (const std::string& name : names) {
    built.members.push_back(zipbuilder::StoredMember(name, "x"));
  }
  std::string path;
  ziptest::OpenArchive archive = OpenBuilt(temp, built, &path);
  ASSERT_NE(archive, nullptr);
  std::string output;
  EXPECT_EQ(WalkNames(archive.get(), &output), names);
  EXPECT_EQ(output, "");
}

// The entry counts of the end record never end the walk early or late.
TEST(ZipWalkTest, TheDirectorySizeAloneEndsTheWalk) {
  ScopedTempDir temp;
  for (uint16_t claimed : {1, 3, 9}) {
    zipbuilder::Archive built;
    for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
      built.members.push_back(zipbuilder::StoredMember(name, name));
    }
    built.diskEntries = claimed;
    built.totalEntries = claimed;
    std::string path;
    ziptest::OpenArchive archive = OpenBuilt(temp, built, &path);
    ASSERT_NE(archive, nullptr);
    std::string output;
    EXPECT_EQ(WalkNames(archive.get(), &output),
              (std::vector<std::string>{"a.bin", "b.bin", "c.bin"}))
        << claimed;
    EXPECT_EQ(output, "");
  }
}

struct MalformedCase {
  const char* label;
  uint16_t nameLength;  // what the second entry claims
  uint32_t cutFromDirectory;
};

// The second entry's fixed part or name runs past the directory: the first
// is returned, then every further call reports the same entry again.
TEST(ZipWalkTest, AnEntryRunningPastTheDirectoryIsReportedEachTime) {
  ScopedTempDir temp;
  const MalformedCase cases[] = {
      {"name past the end", 200, 0},
      {"name one byte past the end", 6, 0},
      {"fixed part cut", 5, 5 + 20},
      {"only the signature left", 5, 5 + 42},
  };
  for (const MalformedCase& c : cases) {
    zipbuilder::Archive built;
    built.members.push_back(zipbuilder::StoredMember("a.bin", "aaa"));
    built.members.push_back(zipbuilder::StoredMember("b.bin", "bbb"));
    built.members[1].nameLengthInEntry = c.nameLength;
    std::string bytes = zipbuilder::Build(built);
    uint32_t directorySize = static_cast<uint32_t>(
        bytes.size() - 22 - bytes.find("PK\x01\x02"));
    built.centralDirSize = directorySize - c.cutFromDirectory;
    std::string path;
    ziptest::OpenArchive archive = OpenBuilt(temp, built, &path);
    ASSERT_NE(archive, nullptr) << c.label;
    ASSERT_NE(ZipNextEntry(archive.get()), nullptr) << c.label;
    uint32_t position = archive->centralDirPos;
    for (int call = 0; call < 2; ++call) {
      std::string output;
      EXPECT_EQ(WalkNames(archive.get(), &output).size(), 0u) << c.label;
      EXPECT_EQ(output, Report(path, kCorruptText)) << c.label;
      EXPECT_EQ(archive->centralDirPos, position) << c.label;
    }
  }
}

}  // namespace
