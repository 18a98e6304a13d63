#include "core/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/wildcard.h"
#include "tests/core/platform_fixture.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ReadFile;

struct WildcardCase {
  const char* pattern;
  const char* name;
  bool matches;
};

TEST(WildcardTest, FollowsTheWindowsListingRules) {
  const WildcardCase cases[] = {
      {"*.a26", "pacman.a26", true},
      {"*.a26", "PACMAN.A26", true},
      {"*.A26", "pacman.a26", true},
      {"*.a26", "pacman.a260", false},
      {"*.a26", "pacman.a2", false},
      {"*.a26", ".a26", true},
      {"*", "anything.at.all", true},
      {"*", "", true},
      {"?.bin", "a.bin", true},
      {"?.bin", "ab.bin", false},
      {"?.bin", ".bin", false},
      {"game*.a26", "game1.a26", true},
      {"game*.a26", "Game.a26", true},
      {"game*.a26", "agame.a26", false},
      {"*.*", "README", true},       // ".*" also matches names without "."
      {"*.*", "a.b", true},
      {"game.*", "game", true},
      {"game.*", "games", false},
      {"*.zip", "roms.ZIP", true},
      {"*a*b*c", "xaxbxc", true},
      {"*a*b*c", "xaxbxcx", false},
      {"\xE9*", "\xE9t\xE9", true},
      {"\xE9*", "\xC9t\xE9", false},  // only ASCII letters fold
  };
  for (const WildcardCase& c : cases) {
    EXPECT_EQ(WildcardMatches(c.pattern, c.name), c.matches)
        << c.pattern << " vs " << c.name;
  }
}

TEST_F(PlatformTest, ListsMatchingFilesButNoFoldersOrDotNames) {
  for (const char* name : {"b.a26", "A.a26", "_x.a26", ".hidden.a26", "z.bin",
                           "README"}) {
    Touch(name);
  }
  testsupport::MakeFolder(dir_.Join("folder.a26"));
  std::vector<std::string> expected = {"A.a26", "b.a26", "_x.a26"};
  EXPECT_EQ(testsupport::WalkOrderFree(List("*.a26")),
            testsupport::WalkOrderFree(expected));
  std::vector<std::string> all = {"A.a26", "b.a26", "README", "z.bin",
                                  "_x.a26"};
  EXPECT_EQ(testsupport::WalkOrderFree(List("*.*")),
            testsupport::WalkOrderFree(all));
}

TEST_F(PlatformTest, ListingOfNothingOrOfAMissingFolderIsEmpty) {
  Touch("a.bin");
  EXPECT_TRUE(List("*.a26").empty());
  EXPECT_TRUE(List("missing/*.a26").empty());
  std::vector<std::string> names = {"stale"};
  EXPECT_EQ(PlatformListDirectory(dir_.Join("*.a26"), &names), 0u);
  EXPECT_TRUE(names.empty());
}

TEST_F(PlatformTest, MoveNeverReplacesAnExistingFile) {
  Touch("source.bin", "source");
  Touch("target.bin", "target");
  Touch("plain", "plain");
  // Onto a file, into a folder that is missing, into a plain file.
  for (const char* target : {"target.bin", "no/x.bin", "plain/x"}) {
    EXPECT_EQ(PlatformMoveFile(dir_.Join("source.bin"), dir_.Join(target)), 0)
        << target;
  }
  EXPECT_EQ(ReadFile(dir_.Join("source.bin")), "source");
  EXPECT_EQ(ReadFile(dir_.Join("target.bin")), "target");
}

TEST_F(PlatformTest, MoveIntoAFolderUnderANewName) {
  Touch("source.bin", "source");
  testsupport::MakeFolder(dir_.Join("sorted"));
  EXPECT_EQ(PlatformMoveFile(dir_.Join("source.bin"),
                             dir_.Join("sorted/Game.bin")),
            1);
  EXPECT_FALSE(testsupport::PathExists(dir_.Join("source.bin")));
  EXPECT_EQ(ReadFile(dir_.Join("sorted/Game.bin")), "source");
}

TEST_F(PlatformTest, ExistsCountsAnyKindOfName) {
  Touch("file");
  testsupport::MakeFolder(dir_.Join("folder"));
  EXPECT_EQ(PlatformExists(dir_.Join("file")), 1);
  EXPECT_EQ(PlatformExists(dir_.Join("folder")), 1);
  EXPECT_EQ(PlatformExists(dir_.Join("none")), 0);
  EXPECT_EQ(PlatformCreateFolder(dir_.Join("new")), 1);
  EXPECT_EQ(PlatformCreateFolder(dir_.Join("new")), 0);
}

TEST_F(PlatformTest, OpenRefusesFoldersAndMissingFilesAndGivesTheSize) {
  Touch("file", "bytes");
  testsupport::MakeFolder(dir_.Join("folder"));
  uint64_t size = 99;
  for (const char* refused : {"folder", "none"}) {
    EXPECT_EQ(PlatformOpenForReading(dir_.Join(refused).c_str(), false),
              nullptr);
    EXPECT_EQ(PlatformOpenFile(dir_.Join(refused).c_str(), &size), kNoFile);
    EXPECT_EQ(size, 99u);
  }
  std::FILE* stream = PlatformOpenForReading(dir_.Join("file").c_str(), false);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(PlatformFileSize(stream, &size), 1);
  EXPECT_EQ(size, 5u);
  std::fclose(stream);

  size = 99;
  PlatformFile file = PlatformOpenFile(dir_.Join("file").c_str(), &size);
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(size, 5u);
  unsigned char bytes[8] = {};
  EXPECT_EQ(PlatformReadExactly(file, bytes, 3), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 3), "byt");
  EXPECT_EQ(PlatformReadExactly(file, bytes, 3), 0);  // only 2 are left
  PlatformCloseFile(file);
}

}  // namespace
