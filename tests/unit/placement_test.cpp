// Where PlaceFile puts a file, for the forms of its arguments that a run
// of the tools never uses: a relative source, no folder, no new name, and
// names whose folder holds a dot.
#include <gtest/gtest.h>

#include "core/placement.h"
#include "core/run.h"
#include "tests/support/support.h"

namespace {

struct TargetCase {
  const char* source;  // under the test's folder
  const char* folder;
  const char* newName;
  int result;
  const char* landing;
};

TEST(PlacementTest, TargetNames) {
  const TargetCase cases[] = {
      {"game.a26", "2600", "Pac-Man", 0, "2600/Pac-Man.a26"},
      {"game.A26", "2600", "Pac-Man.a26", 0, "2600/Pac-Man.a26.A26"},
      {"game", "2600", "Pac-Man.x", 0, "2600/Pac-Man.x"},
      {"game.a26", nullptr, "Renamed", 0, "Renamed.a26"},
      {"game.a26", "dupes", nullptr, 0, "dupes/game.a26"},
      {"game.a26", nullptr, nullptr, -1, "game.a26"},
      {"roms.d/README", "set", "Notes", 0, "roms.d/set/Notes"},
      {"rel:game.a26", "2600", "Pac-Man", 0, "2600/Pac-Man.a26"},
  };
  for (const TargetCase& c : cases) {
    TempDir dir;
    CurrentDirectory inside(dir.path());
    std::string source = c.source;
    bool relative = source.rfind("rel:", 0) == 0;
    if (relative) source = source.substr(4);
    fs::create_directories((dir.path() / source).parent_path());
    WriteBytes(dir.path() / source, "data");
    std::string path = relative ? source : (dir.path() / source).string();
    EXPECT_EQ(PlaceFile(path, c.folder, c.newName, false), c.result) << c.landing;
    EXPECT_EQ(ReadBytes(dir.path() / c.landing), "data") << c.landing;
  }
}

TEST(PlacementTest, WithoutAKeptSystemNameTheFolderIsRen) {
  TempDir dir;
  WriteBytes(dir.path() / "a.a26", "a");
  unsigned char taken = 0;
  FreeKeptSystemName();
  PlaceCatalogMatch((dir.path() / "a.a26").string(), &taken, "Pac-Man");
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(ReadBytes(dir.path() / "ren" / "Pac-Man.a26"), "a");
}

}  // namespace
