// Reading members: stored and deflated data, the checks that refuse a
// member before any of its data is touched, and the sizes that cannot be
// true, which must never lead to a large allocation.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "romtool/zip_reader.h"
#include "tests/support/test_support.h"
#include "tests/zip/allocation_probe.h"
#include "tests/support/zip_builder.h"
#include "tests/zip/zip_test_helpers.h"

namespace {

using testsupport::RandomBytes;
using testsupport::ScopedTempDir;
using testsupport::WriteFile;
using ziptest::CaptureOutput;
using zipbuilder::DeflatedMember;
using zipbuilder::kCorruptText;
using zipbuilder::kUnsupportedText;
using zipbuilder::Report;
using zipbuilder::Member;
using zipbuilder::StoredMember;

const size_t kSmallAllocation = 64 * 1024;

struct ReadOutcome {
  int result = 1;
  std::string output;  // what the read printed
  std::string bytes;   // the member, when the read succeeded
  size_t capacity = 0;
  size_t largestAllocation = 0;
};

// Reads member `index` of the archive `built`, written to `path`.
ReadOutcome ReadMember(const std::string& path, const zipbuilder::Archive& built,
                       size_t index) {
  WriteFile(path, zipbuilder::Build(built));
  ReadOutcome outcome;
  std::string output;
  ziptest::OpenArchive archive = ziptest::OpenCapturing(path, &output);
  EXPECT_NE(archive, nullptr) << output;
  if (!archive) return outcome;
  ZipEntry* entry = nullptr;
  for (size_t i = 0; i <= index; ++i) entry = ZipNextEntry(archive.get());
  EXPECT_NE(entry, nullptr);
  if (entry == nullptr) return outcome;
  FileBuffer buffer;
  allocprobe::ResetLargest();
  outcome.output = CaptureOutput(
      [&] { outcome.result = ZipReadEntry(archive.get(), entry, &buffer); });
  outcome.largestAllocation = allocprobe::Largest();
  outcome.capacity = buffer.capacity;
  if (outcome.result == 0) {
    outcome.bytes.assign(reinterpret_cast<char*>(buffer.bytes.get()),
                         entry->uncompressedSize);
  }
  return outcome;
}

ReadOutcome ReadOnly(const std::string& path, const Member& member) {
  zipbuilder::Archive built;
  built.members.push_back(member);
  return ReadMember(path, built, 0);
}

// Raw deflate data followed by `padding` bytes that are not part of it.
Member PaddedDeflatedMember(const std::string& content, size_t padding) {
  Member member = DeflatedMember("padded.bin", content);
  member.data += std::string(padding, '\x5A');
  member.compressedSize = static_cast<uint32_t>(member.data.size());
  return member;
}

// A member whose data starts where `compressedSize` would end one byte
// past the end of the file: the end record alone follows the data.
Member RunningPastTheEnd(Member member) {
  uint32_t beyond = static_cast<uint32_t>(
      46 + member.name.size() + 22 + 1);
  member.compressedSize = static_cast<uint32_t>(member.data.size()) + beyond;
  if (member.method == 0) member.uncompressedSize = member.compressedSize;
  return member;
}

struct GoodRead {
  const char* label;
  Member member;
  std::string content;
};

TEST(ZipReadTest, ReadsStoredAndDeflatedMembers) {
  const std::string text = RandomBytes(3000, 1) + std::string(2000, 't');
  const std::string noise = RandomBytes(100000, 2);  // several input pieces
  const std::string runs(300000, 'r');  // near the most deflate expands
  Member wrongCrc = DeflatedMember("crc.bin", text);
  wrongCrc.crc32 ^= 0xFFFF;  // the recorded CRC-32 is never checked here
  Member newVersion = StoredMember("v21.bin", text);
  newVersion.versionNeeded = 21;  // the version matters for deflate only
  Member otherSystem = StoredMember("unix.bin", text);
  otherSystem.systemNeeded = 3;
  Member localExtra = DeflatedMember("extra.bin", text);
  localExtra.localExtra = "only in the local header";
  Member otherDisk = StoredMember("disk.bin", text);
  otherDisk.diskStart = 7;
  const GoodRead cases[] = {
      {"stored", StoredMember("s.bin", text), text},
      {"stored, one byte", StoredMember("s.bin", "1"), "1"},
      {"deflated", DeflatedMember("d.bin", text), text},
      {"deflated noise", DeflatedMember("n.bin", noise), noise},
      {"deflated runs", DeflatedMember("r.bin", runs), runs},
      {"deflated, empty", DeflatedMember("e.bin", ""), ""},
      {"stream ends in the last piece", PaddedDeflatedMember(text, 100), text},
      {"last piece full",
       PaddedDeflatedMember(text, 16384 - zipbuilder::RawDeflate(text).size()),
       text},
      {"wrong crc", wrongCrc, text},
      {"stored, version 21", newVersion, text},
      {"stored, other system", otherSystem, text},
      {"stored, other disk", otherDisk, text},
      {"local extra field", localExtra, text},
  };
  ScopedTempDir temp;
  for (const GoodRead& c : cases) {
    ReadOutcome outcome = ReadOnly(temp.Join("good.zip"), c.member);
    EXPECT_EQ(outcome.result, 0) << c.label;
    EXPECT_EQ(outcome.output, "") << c.label;
    EXPECT_TRUE(outcome.bytes == c.content) << c.label;
  }
}

struct BadRead {
  const char* label;
  Member member;
  int result;
  const char* reason;
};

std::vector<BadRead> BadReads() {
  const std::string text = RandomBytes(2000, 3) + std::string(2000, 't');
  std::vector<BadRead> cases;
  auto add = [&](const char* label, Member base,
                 std::function<void(Member*)> change, int result,
                 const char* reason) {
    change(&base);
    cases.push_back({label, base, result, reason});
  };
  const Member stored = StoredMember("s.bin", text);
  const Member deflated = DeflatedMember("d.bin", text);
  add("stored sizes differ", stored, [](Member* m) { m->uncompressedSize--; },
      -3, kCorruptText);
  add("stored, length 0", StoredMember("s.bin", ""), [](Member*) {}, -1,
      kCorruptText);
  add("method 12", stored, [](Member* m) { m->method = 12; }, -2,
      kUnsupportedText);
  add("method 12, huge", stored,
      [](Member* m) {
        m->method = 12;
        m->uncompressedSize = 0xFFFFFFFF;
      },
      -2, kUnsupportedText);
  add("deflated, version 21", deflated, [](Member* m) { m->versionNeeded = 21; },
      -2, kUnsupportedText);
  add("deflated, other system", deflated,
      [](Member* m) { m->systemNeeded = 3; }, -2, kUnsupportedText);
  add("deflated, other disk", deflated, [](Member* m) { m->diskStart = 1; },
      -2, kUnsupportedText);
  add("unsupported before implausible", deflated,
      [](Member* m) {
        m->versionNeeded = 45;
        m->uncompressedSize = 0xFFFFFFFF;
      },
      -2, kUnsupportedText);
  add("size overstated", deflated, [](Member* m) { m->uncompressedSize++; },
      -3, kCorruptText);
  add("size understated", deflated, [](Member* m) { m->uncompressedSize--; },
      -3, kCorruptText);
  add("compressed size 0", deflated, [](Member* m) { m->compressedSize = 0; },
      -3, kCorruptText);
  add("both sizes 0", deflated,
      [](Member* m) { m->compressedSize = m->uncompressedSize = 0; }, -3,
      kCorruptText);
  add("stream ends before the last piece",
      PaddedDeflatedMember(text,
                           16385 - zipbuilder::RawDeflate(text).size()),
      [](Member*) {}, -3, kCorruptText);
  add("not deflate data", deflated,
      [](Member* m) { m->data = std::string(m->data.size(), '\xFF'); }, -3,
      kCorruptText);
  add("data cut short", deflated,
      [](Member* m) { m->data.resize(m->data.size() / 2); }, -3,
      kCorruptText);
  // Sizes that cannot be true: refused before a buffer of that size.
  add("stored, 4 GiB", stored,
      [](Member* m) { m->compressedSize = m->uncompressedSize = 0xFFFFFFFF; },
      -3, kCorruptText);
  add("stored, one byte past the end", RunningPastTheEnd(stored),
      [](Member*) {}, -3, kCorruptText);
  add("deflated, one byte past the end", RunningPastTheEnd(deflated),
      [](Member*) {}, -3, kCorruptText);
  add("deflated, 2 GiB compressed", deflated,
      [](Member* m) { m->compressedSize = 0x7FFFFFFF; }, -3, kCorruptText);
  add("deflated, claims 4 GiB", deflated,
      [](Member* m) { m->uncompressedSize = 0xFFFFFFFF; }, -3, kCorruptText);
  add("deflated, more than deflate can expand", deflated,
      [](Member* m) { m->uncompressedSize = m->compressedSize * 1032 + 1; },
      -3, kCorruptText);
  add("local header past the end", deflated,
      [](Member* m) { m->localHeaderOffset = 0x7FFFFF00; }, -1,
      kCorruptText);
  add("local header cut by the end", stored,
      [](Member* m) {
        m->localHeaderOffset = static_cast<uint32_t>(
            30 + 5 + m->data.size() + 46 + 5 + 22 - 29);
      },
      -1, kCorruptText);
  return cases;
}

TEST(ZipReadTest, BadMembersGiveOneReportAndNoLargeAllocation) {
  ScopedTempDir temp;
  for (const BadRead& c : BadReads()) {
    std::string path = temp.Join("bad.zip");
    ReadOutcome outcome = ReadOnly(path, c.member);
    EXPECT_EQ(outcome.result, c.result) << c.label;
    EXPECT_EQ(outcome.output, Report(path, c.reason)) << c.label;
    EXPECT_LT(outcome.capacity, kSmallAllocation) << c.label;
    EXPECT_LT(outcome.largestAllocation, kSmallAllocation) << c.label;
  }
}

TEST(ZipReadTest, AFailedReadLeavesTheArchiveUsable) {
  ScopedTempDir temp;
  std::string path = temp.Join("mixed.zip");
  const std::string content = RandomBytes(5000, 4);
  zipbuilder::Archive built;
  built.members.push_back(DeflatedMember("bad.bin", content));
  built.members[0].uncompressedSize++;
  built.members.push_back(DeflatedMember("good.bin", content));
  WriteFile(path, zipbuilder::Build(built));
  std::string output;
  ziptest::OpenArchive archive = ziptest::OpenCapturing(path, &output);
  ASSERT_NE(archive, nullptr);
  FileBuffer buffer;
  ZipEntry* entry = ZipNextEntry(archive.get());
  ASSERT_NE(entry, nullptr);
  output = CaptureOutput(
      [&] { EXPECT_EQ(ZipReadEntry(archive.get(), entry, &buffer), -3); });
  EXPECT_EQ(output, Report(path, kCorruptText));
  entry = ZipNextEntry(archive.get());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->fileName, "good.bin");
  ASSERT_EQ(ZipReadEntry(archive.get(), entry, &buffer), 0);
  EXPECT_TRUE(std::string(reinterpret_cast<char*>(buffer.bytes.get()),
                          content.size()) == content);
  EXPECT_EQ(ZipNextEntry(archive.get()), nullptr);
}

TEST(ZipReadTest, NoMemoryForTheMemberGivesMinusFourWithoutAReport) {
  ScopedTempDir temp;
  std::string path = temp.Join("memory.zip");
  const std::string content = RandomBytes(20000, 5);
  zipbuilder::Archive built;
  built.members.push_back(StoredMember("s.bin", content));
  built.members.push_back(DeflatedMember("d.bin", content));
  WriteFile(path, zipbuilder::Build(built));
  std::string output;
  ziptest::OpenArchive archive = ziptest::OpenCapturing(path, &output);
  ASSERT_NE(archive, nullptr);
  while (ZipEntry* entry = ZipNextEntry(archive.get())) {
    FileBuffer buffer;
    allocprobe::RefuseFrom(20000);
    output = CaptureOutput(
        [&] { EXPECT_EQ(ZipReadEntry(archive.get(), entry, &buffer), -4); });
    allocprobe::RefuseFrom(0);
    EXPECT_EQ(output, "") << entry->fileName;
    ASSERT_EQ(ZipReadEntry(archive.get(), entry, &buffer), 0);
    EXPECT_TRUE(std::string(reinterpret_cast<char*>(buffer.bytes.get()),
                            content.size()) == content);
  }
}

}  // namespace
