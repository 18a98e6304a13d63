// The platform layer on POSIX systems: one fixed walk order, and pipes,
// devices and links, which a walk must pass over without blocking.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/platform.h"
#include "tests/core/platform_fixture.h"
#include "tests/support/test_support.h"

namespace {

TEST_F(PlatformTest, ListsOnlyRegularFilesInCaseFoldedOrder) {
  for (const char* name : {"b.a26", "A.a26", "a.A26", "C.a26", "_x.a26",
                           ".hidden.a26", "z.bin"}) {
    Touch(name);
  }
  testsupport::MakeFolder(dir_.Join("folder.a26"));
  ASSERT_EQ(mkfifo(dir_.Join("pipe.a26").c_str(), 0600), 0);
  ASSERT_EQ(symlink("missing", dir_.Join("dangling.a26").c_str()), 0);
  ASSERT_EQ(symlink("z.bin", dir_.Join("link.a26").c_str()), 0);
  // "_" (0x5F) sorts after the upper-case letters, as in a folded order.
  std::vector<std::string> expected = {"A.a26", "a.A26", "b.a26", "C.a26",
                                       "link.a26", "_x.a26"};
  EXPECT_EQ(List("*.a26"), expected);
}

TEST_F(PlatformTest, ListingSortsTiesByRawBytes) {
  Touch("abc.bin");
  Touch("ABC.bin");
  Touch("Abc.bin");
  std::vector<std::string> expected = {"ABC.bin", "Abc.bin", "abc.bin"};
  EXPECT_EQ(List("*.BIN"), expected);
}

TEST_F(PlatformTest, ExistsCountsADanglingLink) {
  ASSERT_EQ(symlink("missing", dir_.Join("dangling").c_str()), 0);
  EXPECT_EQ(PlatformExists(dir_.Join("dangling")), 1);
}

TEST_F(PlatformTest, OpenRefusesAPipeWithoutBlocking) {
  ASSERT_EQ(mkfifo(dir_.Join("pipe").c_str(), 0600), 0);
  EXPECT_EQ(PlatformOpenForReading(dir_.Join("pipe").c_str(), false), nullptr);
  uint64_t size = 99;
  EXPECT_EQ(PlatformOpenFile(dir_.Join("pipe").c_str(), &size), kNoFile);
  EXPECT_EQ(size, 99u);
}

// Paths inside the run's directory reach the kernel relative to a handle
// on it; they must keep naming that directory's files after a chdir.
TEST_F(PlatformTest, PathsInTheRunsDirectoryKeepTheirMeaningAfterAChdir) {
  Touch("file.bin", "in the run's folder");
  testsupport::ScopedTempDir other;
  testsupport::WriteFile(other.Join("file.bin"), "elsewhere");
  testsupport::MakeFolder(other.Join("sorted"));
  std::string current;
  {
    testsupport::ScopedCurrentDirectory inRun(dir_.path());
    ASSERT_EQ(PlatformCurrentDirectory(&current), 1);
  }
  testsupport::ScopedCurrentDirectory inOther(other.path());
  std::string file = current + "/file.bin";
  uint64_t size = 0;
  PlatformFile opened = PlatformOpenFile(file.c_str(), &size);
  ASSERT_NE(opened, kNoFile);
  EXPECT_EQ(size, std::string("in the run's folder").size());
  PlatformCloseFile(opened);
  EXPECT_EQ(PlatformExists(current + "/sorted"), 0);  // only in `other`
  EXPECT_EQ(PlatformCreateFolder(current + "/sorted"), 1);
  EXPECT_EQ(PlatformMoveFile(file, current + "/sorted/moved.bin"), 1);
  EXPECT_EQ(testsupport::ReadFile(dir_.Join("sorted/moved.bin")),
            "in the run's folder");
  EXPECT_EQ(testsupport::ReadFile(other.Join("file.bin")), "elsewhere");
}

TEST(PlatformPosixTest, NoNameIsReservedBeyondTheSeparators) {
  // Names that Windows keeps for devices and streams are plain names here.
  for (const char* name : {"CON", "nul.a26", "LPT1", "a:b", "Game: Chapter 2"}) {
    EXPECT_EQ(PlatformNameIsReserved(name), 0) << name;
  }
  EXPECT_EQ(PlatformSeparator(), '/');
}

}  // namespace
