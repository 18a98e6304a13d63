#include "core/placement.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/run.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ListFiles;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;
using testsupport::WriteFile;

class PlacementTest : public testing::Test {
 protected:
  void TearDown() override { FreeKeptSystemName(); }

  std::string Make(const std::string& name, const std::string& bytes = "x") {
    WriteFile(dir_.Join(name), bytes);
    return dir_.Join(name);
  }
  std::vector<std::string> Files() { return ListFiles(dir_.path()); }

  ScopedTempDir dir_;
};

struct TargetCase {
  const char* source;
  const char* folder;
  const char* newName;
  const char* expected;
};

TEST_F(PlacementTest, TargetNamesKeepOrAddTheFileExtension) {
  const TargetCase cases[] = {
      {"game.a26", "2600", "Pac-Man", "2600/Pac-Man.a26"},
      {"game.a26", "2600", "Pac-Man.a26", "2600/Pac-Man.a26"},
      {"game.a26", "2600", "Pac-Man.bin", "2600/Pac-Man.bin.a26"},
      {"game.A26", "2600", "Pac-Man.a26", "2600/Pac-Man.a26.A26"},
      {"game.a26", "2600", "Pac-Man.", "2600/Pac-Man..a26"},
      {"game", "2600", "Pac-Man", "2600/Pac-Man"},
      {"game", "2600", "Pac-Man.x", "2600/Pac-Man.x"},
      {"game.a26", nullptr, "Renamed", "Renamed.a26"},
      {"game.a26", "dupes", nullptr, "dupes/game.a26"},
  };
  for (const TargetCase& c : cases) {
    ScopedTempDir dir;
    WriteFile(dir.Join(c.source), "data");
    EXPECT_EQ(PlaceFile(dir.Join(c.source), c.folder, c.newName, false), 0)
        << c.source << " -> " << c.expected;
    EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{c.expected});
  }
}

TEST_F(PlacementTest, ExtensionIsTakenFromTheNameNotTheFolder) {
  testsupport::MakeFolder(dir_.Join("roms.d"));
  WriteFile(dir_.Join("roms.d/README"), "data");
  EXPECT_EQ(PlaceFile(dir_.Join("roms.d/README"), "set", "Notes", false), 0);
  EXPECT_EQ(Files(), std::vector<std::string>{"roms.d/set/Notes"});
}

TEST_F(PlacementTest, NumberedRetriesReplaceTheLastCharacter) {
  testsupport::MakeFolder(dir_.Join("dupes"));
  for (const char* taken : {"Game.a26", "Game.a20", "Game.a21", "Game.a22"}) {
    Make(std::string("dupes/") + taken, taken);
  }
  std::string source = Make("copy.a26", "new copy");
  EXPECT_EQ(PlaceFile(source, "dupes", "Game", true), -1);  // first failed
  EXPECT_EQ(ReadFile(dir_.Join("dupes/Game.a23")), "new copy");
  EXPECT_EQ(ReadFile(dir_.Join("dupes/Game.a20")), "Game.a20");
}

TEST_F(PlacementTest, FileStaysWhenAllElevenNamesAreTaken) {
  testsupport::MakeFolder(dir_.Join("dupes"));
  Make("dupes/Game.a26", "original");
  for (char digit = '0'; digit <= '9'; ++digit) {
    Make(std::string("dupes/Game.a2") + digit, "numbered");
  }
  auto before = testsupport::SnapshotContents(dir_.path());
  std::string source = Make("copy.a26", "copy");
  EXPECT_EQ(PlaceFile(source, "dupes", "Game", true), -1);
  EXPECT_EQ(ReadFile(source), "copy");
  before.insert("copy");
  EXPECT_EQ(testsupport::SnapshotContents(dir_.path()), before);
}

TEST_F(PlacementTest, RelativeSourceIsPlacedBesideItself) {
  Make("game.a26", "data");
  int result = 0;
  {
    testsupport::ScopedCurrentDirectory inside(dir_.path());
    result = PlaceFile("game.a26", "2600", "Pac-Man", false);
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Files(), std::vector<std::string>{"2600/Pac-Man.a26"});
}

TEST_F(PlacementTest, PlainFileWithTheFolderNameMakesTheMoveFail) {
  Make("2600", "not a folder");
  std::string source = Make("game.a26", "data");
  std::string directory = dir_.path() + testsupport::PathSeparator();
  EXPECT_EQ(EnsureFolder(directory, "2600"), 1);
  EXPECT_EQ(PlaceFile(source, "2600", "Pac-Man", false), -1);
  EXPECT_EQ(ReadFile(source), "data");
}

struct NameCase {
  const char* name;
  int safe;
};

TEST(CatalogNameTest, NamesWithSeparatorsAreNeverSafe) {
  const NameCase cases[] = {
      {"Pac-Man (USA).a26", 1}, {"..", 1},        {"...", 1},
      {"../../somewhere", 0},   {"a/b", 0},       {"/etc/passwd", 0},
      {"..\\..\\x", 0},         {"dir\\name", 0}, {"trailing/", 0},
  };
  for (const NameCase& c : cases) {
    EXPECT_EQ(CatalogNameIsSafe(c.name), c.safe) << c.name;
  }
}

TEST_F(PlacementTest, FirstFileGoesToTheSystemFolderLaterOnesToDupes) {
  KeepSystemName("2600");
  unsigned char taken = 0;
  for (const char* name : {"a.a26", "b.a26", "c.a26"}) {
    PlaceCatalogMatch(Make(name, name), &taken, "Pac-Man");
    EXPECT_EQ(taken, 1);
  }
  std::vector<std::string> expected = {"2600/Pac-Man.a26", "dupes/Pac-Man.a20",
                                       "dupes/Pac-Man.a26"};
  EXPECT_EQ(Files(), expected);
  EXPECT_EQ(ReadFile(dir_.Join("2600/Pac-Man.a26")), "a.a26");
  EXPECT_EQ(ReadFile(dir_.Join("dupes/Pac-Man.a20")), "c.a26");
}

TEST_F(PlacementTest, WithoutASystemNameTheFolderIsRen) {
  unsigned char taken = 0;
  PlaceCatalogMatch(Make("a.a26"), &taken, "Pac-Man");
  EXPECT_EQ(Files(), std::vector<std::string>{"ren/Pac-Man.a26"});
}

TEST_F(PlacementTest, UnsafeNameLeavesTheFileAndSaysSo) {
  KeepSystemName("2600");
  unsigned char taken = 0;
  std::string source = Make("a.a26");
  testing::internal::CaptureStderr();
  PlaceCatalogMatch(source, &taken, "../../escaped");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Err: Refused unsafe catalog name \"../../escaped\" for " + source +
                "\n");
  EXPECT_EQ(taken, 0);
  EXPECT_EQ(Files(), std::vector<std::string>{"a.a26"});
}

}  // namespace
