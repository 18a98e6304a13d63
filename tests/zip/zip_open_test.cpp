// Opening archives: finding the end record, checking it, and loading the
// central directory; every way an open can fail prints exactly one report.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "romtool/zip_reader.h"
#include "tests/support/test_support.h"
#include "tests/zip/allocation_probe.h"
#include "tests/support/zip_builder.h"
#include "tests/zip/zip_test_helpers.h"

namespace {

using testsupport::ScopedTempDir;
using testsupport::WriteFile;
using zipbuilder::kCorruptText;
using zipbuilder::kFilesystemText;
using zipbuilder::kUnsupportedText;
using zipbuilder::Report;
using ziptest::OpenCapturing;

// Far above what the reader needs for the small archives below, far below
// anything a size taken on trust from a damaged record would ask for.
const size_t kSmallAllocation = 64 * 1024;

zipbuilder::Archive TwoMembers() {
  zipbuilder::Archive archive;
  archive.members.push_back(zipbuilder::StoredMember("a.bin", "first"));
  archive.members.push_back(
      zipbuilder::DeflatedMember("b.nes", std::string(300, 'b')));
  return archive;
}

// The bytes of a 22-byte end record with the given entry counts.
std::string EndRecordBytes(uint16_t entries) {
  zipbuilder::Archive empty;
  empty.diskEntries = entries;
  empty.totalEntries = entries;
  return zipbuilder::Build(empty);
}

// TwoMembers with one change to its end record.
std::string Damaged(const std::function<void(zipbuilder::Archive*)>& change) {
  zipbuilder::Archive archive = TwoMembers();
  change(&archive);
  return zipbuilder::Build(archive);
}

// End records whose directory, taken on trust, would be far larger than the
// file. The plainer damages of the end record (none at all, no entries,
// other disks, entry counts that differ) are cases of the malformed-archive
// corpus, which sees the same report through Tessary.
TEST(ZipOpenTest, ImplausibleDirectoryIsReportedWithoutALargeAllocation) {
  std::string whole = zipbuilder::Build(TwoMembers());
  // The directory is followed only by the 22-byte end record; one byte more
  // than that runs past the end of the file.
  uint32_t oneBytePast =
      static_cast<uint32_t>(whole.size() - whole.find("PK\x01\x02") + 1);
  using zipbuilder::Archive;
  const std::pair<const char*, std::string> cases[] = {
      {"offset past the end",
       Damaged([](Archive* a) { a->centralDirOffset = 0x7FFFFFF0; })},
      {"size past the end",
       Damaged([](Archive* a) { a->centralDirSize = 0xFFFFFFFF; })},
      // Offset and size add up to 8 in 32 bits: only a wide sum sees it.
      {"offset plus size wraps", Damaged([](Archive* a) {
         a->centralDirOffset = 0x10;
         a->centralDirSize = 0xFFFFFFF8;
       })},
      {"cut by the end of the file",
       Damaged([&](Archive* a) { a->centralDirSize = oneBytePast; })},
  };
  ScopedTempDir temp;
  for (const auto& c : cases) {
    std::string path = temp.Join("damaged.zip");
    WriteFile(path, c.second);
    allocprobe::ResetLargest();
    std::string output;
    ziptest::OpenArchive archive = OpenCapturing(path, &output);
    EXPECT_EQ(archive, nullptr) << c.first;
    EXPECT_EQ(output, Report(path, kCorruptText)) << c.first;
    EXPECT_LT(allocprobe::Largest(), kSmallAllocation) << c.first;
  }
}

TEST(ZipOpenTest, FilesThatCannotBeOpenedBlameTheFilesystem) {
  ScopedTempDir temp;
  testsupport::MakeFolder(temp.Join("folder.zip"));
  for (const std::string& path :
       {temp.Join("missing.zip"), temp.Join("folder.zip")}) {
    std::string output;
    EXPECT_EQ(OpenCapturing(path, &output), nullptr) << path;
    EXPECT_EQ(output, Report(path, kFilesystemText));
  }
}

TEST(ZipOpenTest, DecodesTheEndRecordAndLoadsTheDirectory) {
  ScopedTempDir temp;
  std::string path = temp.Join("good.zip");
  zipbuilder::Archive built = TwoMembers();
  built.comment = "hello";
  std::string bytes = zipbuilder::Build(built);
  WriteFile(path, bytes);
  std::string output;
  ziptest::OpenArchive archive = OpenCapturing(path, &output);
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(output, "");
  uint32_t directoryOffset = static_cast<uint32_t>(bytes.find("PK\x01\x02"));
  uint32_t endOffset = static_cast<uint32_t>(bytes.find("PK\x05\x06"));
  EXPECT_EQ(archive->archiveName, path);
  EXPECT_EQ(archive->fileLength, bytes.size());
  EXPECT_EQ(archive->endSignature, 0x06054B50u);
  EXPECT_EQ(archive->diskNumber, 0);
  EXPECT_EQ(archive->centralDirDisk, 0);
  EXPECT_EQ(archive->diskEntries, 2);
  EXPECT_EQ(archive->totalEntries, 2);
  EXPECT_EQ(archive->centralDirOffset, directoryOffset);
  EXPECT_EQ(archive->centralDirSize, endOffset - directoryOffset);
  EXPECT_EQ(archive->archiveCommentLength, 5);
  EXPECT_EQ(archive->endRecordLength, 27u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(archive->archiveComment),
                        5),
            "hello");
  EXPECT_EQ(archive->centralDirPos, 0u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(archive->centralDir.get()),
                        archive->centralDirSize),
            bytes.substr(directoryOffset, endOffset - directoryOffset));
}

// The end record lies further from the end the longer the comment is. The
// first look covers the last KiB, which holds comments up to 1002 bytes;
// each further look doubles, so the largest block the search asks for
// shows how many looks it took (the member makes the file larger than any
// of them).
TEST(ZipOpenTest, FindsTheEndRecordBehindCommentsOfAnyLength) {
  struct CommentCase {
    size_t length;
    size_t window;
  };
  const CommentCase cases[] = {
      {0, 1024}, {1002, 1024}, {1003, 2048}, {5000, 8192}, {65535, 131072}};
  ScopedTempDir temp;
  for (const CommentCase& c : cases) {
    zipbuilder::Archive built = TwoMembers();
    built.members[0] = zipbuilder::StoredMember("a.bin", std::string(150000, 'a'));
    built.comment = testsupport::RandomBytes(c.length, 7);
    std::string path = temp.Join("comment.zip");
    WriteFile(path, zipbuilder::Build(built));
    allocprobe::ResetLargest();
    std::string output;
    ziptest::OpenArchive archive = OpenCapturing(path, &output);
    ASSERT_NE(archive, nullptr) << c.length;
    EXPECT_EQ(output, "");
    EXPECT_EQ(allocprobe::Largest(), c.window) << c.length;
    EXPECT_EQ(archive->endRecordLength, 22 + c.length);
    ZipEntry* entry = ZipNextEntry(archive.get());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->fileName, "a.bin");
  }
}

TEST(ZipOpenTest, TakesTheLastSignatureThatLeavesRoomForARecord) {
  ScopedTempDir temp;
  std::string path = temp.Join("fake.zip");
  // A record inside the comment, 22 bytes or more before the end, wins: this
  // one says the archive is empty.
  for (size_t tail : {0, 10}) {
    zipbuilder::Archive built = TwoMembers();
    built.comment = "note " + EndRecordBytes(0) + std::string(tail, 't');
    WriteFile(path, zipbuilder::Build(built));
    std::string output;
    EXPECT_EQ(OpenCapturing(path, &output), nullptr) << tail;
    EXPECT_EQ(output, Report(path, kUnsupportedText));
  }
  // With fewer than 22 bytes after it, the signature in the comment cannot
  // start a record and the true one is used.
  zipbuilder::Archive built = TwoMembers();
  built.comment = "note " + EndRecordBytes(0).substr(0, 21);
  WriteFile(path, zipbuilder::Build(built));
  std::string output;
  ziptest::OpenArchive archive = OpenCapturing(path, &output);
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->totalEntries, 2);
  EXPECT_EQ(archive->endRecordLength, 22u + 5 + 21);
}

TEST(ZipOpenTest, NoMemoryForTheDirectoryFailsWithoutAReport) {
  ScopedTempDir temp;
  std::string path = temp.Join("big-directory.zip");
  zipbuilder::Archive built = TwoMembers();
  built.members[0].extra = std::string(6000, 'e');
  WriteFile(path, zipbuilder::Build(built));
  std::string output;
  allocprobe::RefuseFrom(4096);
  ziptest::OpenArchive archive = OpenCapturing(path, &output);
  allocprobe::RefuseFrom(0);
  EXPECT_EQ(archive, nullptr);
  EXPECT_EQ(output, "");
}

// Makes `path` a sparse file of `size` bytes whose last bytes are `tail`.
bool MakeSparseArchive(const std::string& path, uint64_t size,
                       const std::string& tail) {
  if (!testsupport::MakeSparseFile(path, size - tail.size())) return false;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(tail.data(), static_cast<std::streamsize>(tail.size()));
  return static_cast<bool>(out);
}

TEST(ZipOpenTest, ArchivesOfTwoGibibytesAreRefused) {
  ScopedTempDir temp;
  std::string path = temp.Join("huge.zip");
  std::string bytes = zipbuilder::Build(TwoMembers());
  if (!MakeSparseArchive(path, uint64_t{1} << 31, bytes)) {
    GTEST_SKIP() << "the file system refused a 2 GiB sparse file";
  }
  allocprobe::ResetLargest();
  std::string output;
  EXPECT_EQ(OpenCapturing(path, &output), nullptr);
  EXPECT_EQ(output, Report(path, kUnsupportedText));
  EXPECT_LT(allocprobe::Largest(), kSmallAllocation);
}

// One byte less is the largest archive there is; its member lies just
// below 2 GiB.
TEST(ZipOpenTest, ReadsAMemberNearTheLargestPosition) {
  ScopedTempDir temp;
  std::string path = temp.Join("largest.zip");
  zipbuilder::Archive built;
  built.members.push_back(zipbuilder::StoredMember("far.bin", "far away"));
  uint32_t length = static_cast<uint32_t>(zipbuilder::Build(built).size());
  uint32_t start = 0x7FFFFFFF - length;
  built.members[0].localHeaderOffset = start;
  built.centralDirOffset = start + 30 + 7 + 8;
  if (!MakeSparseArchive(path, 0x7FFFFFFF, zipbuilder::Build(built))) {
    GTEST_SKIP() << "the file system refused a 2 GiB sparse file";
  }
  std::string output;
  ziptest::OpenArchive archive = OpenCapturing(path, &output);
  ASSERT_NE(archive, nullptr) << output;
  ZipEntry* entry = ZipNextEntry(archive.get());
  ASSERT_NE(entry, nullptr);
  FileBuffer buffer;
  ASSERT_EQ(ZipReadEntry(archive.get(), entry, &buffer), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.bytes.get()), 8),
            "far away");
}

}  // namespace
