// Where PlaceFile puts a file for the forms of its arguments that no run
// of the tools uses: a relative source, no folder, no new name, a folder
// with a dot in its name; and "ren" when no system name is kept.
#include <gtest/gtest.h>

#include "core/placement.h"
#include "core/platform.h"
#include "core/run.h"
#include "tests/support/support.h"

namespace {

TEST(PlacementTest, TargetNames) {
  const struct {
    const char* source;  // "./x" is given as the relative path "x"
    const char* folder;
    const char* newName;
    const char* landing;
  } cases[] = {
      {"game.a26", nullptr, "Renamed", "Renamed.a26"},
      {"game.a26", "dupes", nullptr, "dupes/game.a26"},
      {"game", "2600", "Pac-Man.x", "2600/Pac-Man.x"},
      {"roms.d/README", "set", "Notes", "roms.d/set/Notes"},
      {"./game.a26", "2600", "Pac-Man", "2600/Pac-Man.a26"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    CurrentDirectory inside(dir.path());
    fs::create_directories((dir.path() / c.source).parent_path());
    WriteBytes(dir.path() / c.source, "data");
    bool relative = c.source[0] == '.';
    std::string source = relative ? c.source + 2 : (dir.path() / c.source).make_preferred().string();
    EXPECT_EQ(PlaceFile(source, c.folder, c.newName, false), 0) << c.landing;
    EXPECT_EQ(ReadBytes(dir.path() / c.landing), "data") << c.landing;
  }
  TempDir dir;
  WriteBytes(dir.path() / "a.a26", "a");
  unsigned char taken = 0;
  PlaceCatalogMatch((dir.path() / "a.a26").string(), &taken, "Pac-Man");
  EXPECT_EQ(ReadBytes(dir.path() / "ren" / "Pac-Man.a26"), "a");
}

TEST(PlacementTest, APathIsNeverTakenInsideTheRunsFolderWhenItLeadsOut) {
  TempDir run, other;
  CurrentDirectory inside(run.path());
  WriteBytes(other.path() / "elsewhere", "x");
  std::string current;
  ASSERT_EQ(PlatformCurrentDirectory(&current), 1);
  // The run's folder followed by a whole path names nothing that exists.
  EXPECT_EQ(PlatformExists(current + PlatformSeparator() + (other.path() / "elsewhere").string()), 0);
}

}  // namespace
